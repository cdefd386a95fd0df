#include "platform/FileUtil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::FileUtil {

namespace {

QString displayName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

bool lstatPath(const QByteArray& path, struct stat* st)
{
    return ::lstat(path.constData(), st) == 0;
}

// The home Trash must be folders (or not exist yet, so it can be made). When it is something
// else, Qt 6.4 "moves to the Trash" into a folder below the current working directory.
bool homeTrashIsUsable()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString trash = dataHome + QStringLiteral("/Trash");
    for (const QString& folder :
        { trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info") }) {
        struct stat st;
        if (lstatPath(QFile::encodeName(folder), &st) && !S_ISDIR(st.st_mode))
            return false;
    }
    return true;
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

TextFile decodeText(const QByteArray& bytes, const QString& path)
{
    TextFile result;
    result.digest = digestOfBytes(bytes);

    QByteArrayView body(bytes);
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body = body.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(body);
    if (decoder.hasError()) {
        result.notUtf8 = true;
        result.error
            = QStringLiteral("\"%1\" is not UTF-8 text, so it can't be opened for editing.")
                  .arg(path.isEmpty() ? QStringLiteral("The file") : displayName(path));
        return result;
    }
    result.text = LineEnds::fold(text, bom, &result.lineEnds);
    result.ok = true;
    return result;
}

TextFile readText(const QString& path)
{
    TextFile result;
    const QFileInfo info(path);
    if (info.isDir()) {
        result.error = QStringLiteral("\"%1\" is a folder, not a file.").arg(displayName(path));
        return result;
    }
    if (info.exists() && !info.isFile()) {
        // Opening a FIFO or a device would block or never end.
        result.error = QStringLiteral("\"%1\" is not a regular file.").arg(displayName(path));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Could not read \"%1\": %2")
                           .arg(displayName(path), file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Could not read \"%1\": %2")
                           .arg(displayName(path), file.errorString());
        return result;
    }
    return decodeText(bytes, path);
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
    if (!homeTrashIsUsable()) {
        setError(error,
            QStringLiteral("\"%1\" could not be moved to the Trash: the Trash folder is damaged.")
                .arg(displayName(path)));
        return false;
    }
    QFile file(path);
    if (file.moveToTrash()) {
        // Qt reports success with a relative destination when it could not resolve the Trash,
        // having moved the item below the current folder. Put it back and report the failure.
        if (QFileInfo(file.fileName()).isAbsolute())
            return true;
        QString ignored;
        renameNoReplace(QFileInfo(file.fileName()).absoluteFilePath(), path, &ignored);
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
