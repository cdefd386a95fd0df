#include "platform/FileUtil.h"

#include "platform/FileUtil_Messages.h"
#include "platform/Parallel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::FileUtil {

using detail::displayName;
using detail::setError;

namespace {

bool lstatPath(const QByteArray& path, struct stat* st)
{
    return ::lstat(path.constData(), st) == 0;
}

// The home Trash of the freedesktop rules, made where it is missing: any missing folder on the way
// to it is made private to the user (0700). Qt 6.4 only makes "Trash" itself, and when its parent
// is missing it "moves to the Trash" into folders below the current working directory; so the
// Trash is always there before Qt is asked. Empty, with *reason, when it cannot be.
QString prepareHomeTrash(QString* reason)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        *reason = QStringLiteral("there is no folder for it (\"%1\").").arg(dataHome);
        return {};
    }
    const QString trash = QDir::cleanPath(dataHome) + QStringLiteral("/Trash");
    const auto make = [&](const QString& folder, bool followLink) {
        const QByteArray encoded = QFile::encodeName(folder);
        struct stat st;
        if ((followLink ? ::stat(encoded.constData(), &st) : ::lstat(encoded.constData(), &st))
            == 0) {
            if (S_ISDIR(st.st_mode))
                return true;
            *reason = followLink
                ? QStringLiteral("\"%1\" is not a folder.").arg(folder)
                : QStringLiteral("the Trash folder is damaged (\"%1\" is not a folder).")
                      .arg(folder);
            return false;
        }
        if (::mkdir(encoded.constData(), 0700) == 0 || errno == EEXIST)
            return true;
        *reason = QStringLiteral("the folder \"%1\" could not be made: %2")
                      .arg(folder, qt_error_string(errno));
        return false;
    };
    // The folders on the way may be links (a data folder kept elsewhere); the Trash's own may not.
    const QStringList parts = trash.split(u'/', Qt::SkipEmptyParts);
    QString folder;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        folder += u'/' + parts.at(i);
        if (!make(folder, true))
            return {};
    }
    for (const QString& own :
        { trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info") }) {
        if (!make(own, false))
            return {};
    }
    return trash;
}

QString renameFailure(int err, const QString& from, const QString& to)
{
    switch (err) {
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("An item named \"%1\" already exists in \"%2\".")
            .arg(displayName(to), displayName(QFileInfo(to).absolutePath()));
    case ENOENT:
        if (!QFileInfo::exists(from) && !QFileInfo(from).isSymLink())
            return QStringLiteral("\"%1\" no longer exists.").arg(displayName(from));
        return QStringLiteral("The folder \"%1\" doesn't exist.")
            .arg(displayName(QFileInfo(to).absolutePath()));
    case EXDEV:
        return QStringLiteral("\"%1\" can't be moved there because it is on another file system.")
            .arg(displayName(from));
    default:
        return QStringLiteral("\"%1\" can't be moved to \"%2\": %3")
            .arg(displayName(from), to, qt_error_string(err));
    }
}

// For file systems without RENAME_NOREPLACE. A hard link fails when the target exists, so files
// stay safe; a folder can only be checked first, which leaves a tiny window.
int renameNoReplaceFallback(const QByteArray& from, const QByteArray& to)
{
    struct stat st;
    if (!lstatPath(from, &st))
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) != 0) {
                const int err = errno;
                ::unlink(to.constData());
                return err;
            }
            return 0;
        }
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS)
            return errno;
    }
    struct stat target;
    if (lstatPath(to, &target))
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

QString standardizedPath(const QString& path)
{
    if (path.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isUnder(const QString& path, const QString& folder)
{
    if (path == folder)
        return true;
    if (folder.isEmpty() || path.size() <= folder.size() || !path.startsWith(folder))
        return false;
    // The root "/" already ends with the separator.
    return folder.endsWith(QLatin1Char('/')) || path.at(folder.size()) == QLatin1Char('/');
}

namespace {

QString notUtf8Message(const QString& path)
{
    return QStringLiteral("\"%1\" is not UTF-8 text, so it can't be opened for editing.")
        .arg(path.isEmpty() ? QStringLiteral("The file") : displayName(path));
}

// A file this long is read and decoded by several threads. Below it the time saved is small, and
// what the threads allocate would stay in heaps of their own for as long as the text is open.
constexpr qint64 kReadAtOnce = 4 * 1024 * 1024;

// A long file read by several threads at once, a stretch each: most of reading it is the kernel
// giving the new array its pages, which it does for several threads side by side. Nothing when
// the file is short, or changes length while it is read (the caller then reads it the usual way).
std::optional<QByteArray> readAtOnce(QFile& file)
{
    constexpr qint64 kStretch = 1024 * 1024;
    const qint64 size = file.size();
    const int fd = file.handle();
    if (size < kReadAtOnce || fd < 0)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    std::atomic_bool whole { true };
    parallelFor((size + kStretch - 1) / kStretch, [&](qsizetype stretch) {
        qint64 at = stretch * kStretch;
        const qint64 end = qMin(size, at + kStretch);
        while (at < end && whole) {
            const ssize_t n = ::pread(fd, bytes.data() + at, size_t(end - at), off_t(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                whole = false;
            at += qMax<ssize_t>(n, 0);
        }
    });
    char more = 0;
    if (!whole || ::pread(fd, &more, 1, off_t(size)) != 0)
        return std::nullopt;
    return bytes;
}

// The file's bytes, or none with `error` saying why.
std::optional<QByteArray> readBytes(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = QStringLiteral("\"%1\" is a folder, not a file.").arg(displayName(path));
        return std::nullopt;
    }
    if (info.exists() && !info.isFile()) {
        // Opening a FIFO or a device would block or never end.
        *error = QStringLiteral("\"%1\" is not a regular file.").arg(displayName(path));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Could not read \"%1\": %2")
                     .arg(displayName(path), file.errorString());
        return std::nullopt;
    }
    if (std::optional<QByteArray> bytes = readAtOnce(file))
        return bytes;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Could not read \"%1\": %2")
                     .arg(displayName(path), file.errorString());
        return std::nullopt;
    }
    return bytes;
}

// Where a stretch of UTF-8 starting at `from` may end near `from + length`: before a byte that
// begins a character, so that each stretch decodes alone as it would within the whole.
qsizetype pieceEnd(QByteArrayView bytes, qsizetype from, qsizetype length)
{
    qsizetype end = qMin(bytes.size(), from + length);
    // A sequence has at most three continuation bytes; more in a row are invalid anyway.
    for (int back = 0;
         back < 3 && end < bytes.size() && end > from + 1 && (uchar(bytes[end]) & 0xC0) == 0x80;
         ++back)
        --end;
    return end;
}

// The UTF-8 of `body` decoded `pieceLength` bytes or so at a time, a long one by several threads
// at once (each piece ends before a character, so it decodes alone as it would within the
// whole); none when it is not valid UTF-8.
std::optional<QList<QString>> decodeInPieces(QByteArrayView body, qsizetype pieceLength)
{
    std::vector<qsizetype> ends;
    for (qsizetype from = 0; from < body.size(); from = ends.back())
        ends.push_back(pieceEnd(body, from, pieceLength));
    QList<QString> decoded(qsizetype(ends.size()));
    std::atomic_bool invalid { false };
    parallelForEach(qsizetype(ends.size()), 16, body.size() >= kReadAtOnce, [&](qsizetype i) {
        if (invalid)
            return;
        const qsizetype from = i == 0 ? 0 : ends[size_t(i - 1)];
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        decoded[i] = decoder.decode(body.sliced(from, ends[size_t(i)] - from));
        if (decoder.hasError())
            invalid = true;
    });
    if (invalid)
        return std::nullopt;
    return decoded;
}

} // namespace

TextFile decodeText(const QByteArray& bytes, const QString& path, bool withDigest)
{
    TextFile result;
    result.bytes = bytes.size();
    if (withDigest)
        result.digest = digestOfBytes(bytes);

    QByteArrayView body(bytes);
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body = body.sliced(3);
    // A long file is decoded by several threads a piece at a time, then joined: a file changed
    // by another program is read again while the window waits. The pieces are large enough to
    // be mapped on their own, so that the memory is given back once they are joined, not kept
    // in the threads' heaps.
    QString text;
    bool valid = true;
    if (body.size() >= kReadAtOnce) {
        if (const std::optional<QList<QString>> pieces = decodeInPieces(body, 1024 * 1024)) {
            qsizetype length = 0;
            for (const QString& piece : *pieces)
                length += piece.size();
            text.reserve(length);
            for (const QString& piece : *pieces)
                text.append(piece);
        } else {
            valid = false;
        }
    } else {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = decoder.decode(body);
        valid = !decoder.hasError();
    }
    if (!valid) {
        result.notUtf8 = true;
        result.error = notUtf8Message(path);
        return result;
    }
    result.text = LineEnds::fold(text, bom, &result.lineEnds);
    result.ok = true;
    return result;
}

TextFile readText(const QString& path, bool withDigest)
{
    TextFile result;
    const std::optional<QByteArray> bytes = readBytes(path, &result.error);
    if (!bytes)
        return result;
    return decodeText(*bytes, path, withDigest);
}

PiecesFile readTextInPieces(const QString& path)
{
    PiecesFile result;
    const std::optional<QByteArray> bytes = readBytes(path, &result.error);
    if (!bytes)
        return result;
    QByteArrayView body(*bytes);
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body = body.sliced(3);
    // A short text, or one with CR LF breaks to fold, is read as a whole.
    if (body.size() <= 2 * ChunkedText::kPiece || body.contains('\r')) {
        TextFile whole = decodeText(*bytes, path, false);
        result.ok = whole.ok;
        result.error = whole.error;
        result.notUtf8 = whole.notUtf8;
        result.lineEnds = whole.lineEnds;
        result.text = ChunkedText(whole.text);
        result.bytes = whole.bytes;
        return result;
    }
    std::optional<QList<QString>> pieces = decodeInPieces(body, ChunkedText::kPiece);
    if (!pieces) {
        result.notUtf8 = true;
        result.error = notUtf8Message(path);
        return result;
    }
    LineEnds::fold(QString(), bom, &result.lineEnds);
    result.text = ChunkedText::fromPieces(std::move(*pieces));
    result.bytes = bytes->size();
    result.ok = true;
    return result;
}

QByteArray encodeText(const QString& text, const LineEnds& lineEnds)
{
    return lineEnds.encode(text);
}

bool createTextFile(const QString& path, const QString& text, const LineEnds& lineEnds,
    QString* error, QByteArray* digest)
{
    const QByteArray bytes = encodeText(text, lineEnds);
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int err = errno;
        setError(error,
            err == EEXIST ? QStringLiteral("An item named \"%1\" already exists in \"%2\".")
                                .arg(displayName(path), displayName(QFileInfo(path).absolutePath()))
                          : QStringLiteral("Could not create \"%1\": %2")
                                .arg(displayName(path), qt_error_string(err)));
        return false;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const int writeError = written == bytes.size() ? 0 : (errno ? errno : EIO);
    if (::close(fd) != 0 || writeError != 0) {
        const int err = writeError ? writeError : errno;
        ::unlink(encoded.constData()); // we made it, and it is incomplete
        setError(error,
            QStringLiteral("Could not write \"%1\": %2")
                .arg(displayName(path), qt_error_string(err)));
        return false;
    }
    if (digest)
        *digest = digestOfBytes(bytes);
    return true;
}

QByteArray digestOfBytes(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray digestOfFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QByteArray();
    return hash.result();
}

bool renameNoReplace(const QString& from, const QString& to, QString* error)
{
    const QString cleanFrom = standardizedPath(from);
    const QString cleanTo = standardizedPath(to);
    if (cleanFrom.isEmpty() || cleanTo.isEmpty()) {
        setError(error, QStringLiteral("No item to move was given."));
        return false;
    }
    if (cleanTo != cleanFrom && isUnder(cleanTo, cleanFrom)) {
        setError(error,
            QStringLiteral("\"%1\" can't be moved into itself.").arg(displayName(cleanFrom)));
        return false;
    }
    const QByteArray f = QFile::encodeName(cleanFrom);
    const QByteArray t = QFile::encodeName(cleanTo);
    int err = 0;
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) != 0) {
        err = errno;
        if (err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP)
            err = renameNoReplaceFallback(f, t);
    }
    if (err == 0)
        return true;
    setError(error, renameFailure(err, cleanFrom, cleanTo));
    return false;
}

bool moveToTrash(const QString& path, QString* error)
{
    struct stat st;
    if (!lstatPath(QFile::encodeName(path), &st)) {
        setError(error, QStringLiteral("\"%1\" no longer exists.").arg(displayName(path)));
        return false;
    }
    QString unavailable;
    if (prepareHomeTrash(&unavailable).isEmpty()) {
        setError(error,
            QStringLiteral("\"%1\" could not be moved to the Trash: %2")
                .arg(displayName(path), unavailable));
        return false;
    }
    QFile file(path);
    if (file.moveToTrash()) {
        // Qt reports success with a relative destination when it could not resolve the Trash,
        // having moved the item below the current folder. Put it back, take away what Qt made
        // there, and report the failure.
        const QFileInfo moved(file.fileName());
        if (moved.isAbsolute())
            return true;
        QString ignored;
        renameNoReplace(moved.absoluteFilePath(), path, &ignored);
        const QDir made(QFileInfo(moved.absolutePath()).absolutePath());
        QFile::remove(made.filePath(
            QStringLiteral("info/") + moved.fileName() + QStringLiteral(".trashinfo")));
        made.rmdir(QStringLiteral("files")); // only when empty
        made.rmdir(QStringLiteral("info"));
        setError(error,
            QStringLiteral(
                "\"%1\" could not be moved to the Trash: the Trash is not available here.")
                .arg(displayName(path)));
        return false;
    }
    QString reason = file.errorString();
    if (reason.isEmpty())
        reason = QStringLiteral("the Trash is not available here");
    setError(error,
        QStringLiteral("\"%1\" could not be moved to the Trash: %2")
            .arg(displayName(path), reason));
    return false;
}

bool removePermanently(const QString& path, QString* error)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat st;
    if (!lstatPath(encoded, &st)) {
        setError(error, QStringLiteral("\"%1\" no longer exists.").arg(displayName(path)));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(encoded.constData()) == 0)
            return true;
        setError(error,
            QStringLiteral("\"%1\" could not be removed: %2")
                .arg(displayName(path), qt_error_string(errno)));
        return false;
    }
    if (QDir(path).removeRecursively())
        return true;
    setError(error,
        QStringLiteral("\"%1\" could not be removed completely; some items inside it remain.")
            .arg(displayName(path)));
    return false;
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString pathExtension(const QString& path)
{
    const QString name = fileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.sliced(dot + 1) : QString();
}

bool itemExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isValidItemName(const QString& name, QString* reason)
{
    if (name.trimmed().isEmpty()) {
        setError(reason, QStringLiteral("Please enter a name."));
        return false;
    }
    if (name.contains(QLatin1Char('/'))) {
        setError(reason, QStringLiteral("A name can't contain \"/\"."));
        return false;
    }
    if (name.contains(QChar(0))) {
        setError(reason, QStringLiteral("A name can't contain a NUL character."));
        return false;
    }
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        setError(reason, QStringLiteral("\".\" and \"..\" can't be used as names."));
        return false;
    }
    if (QFile::encodeName(name).size() > NAME_MAX) {
        setError(reason, QStringLiteral("The name is too long."));
        return false;
    }
    return true;
}

} // namespace quillon::FileUtil
