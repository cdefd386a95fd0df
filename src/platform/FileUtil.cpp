#include "platform/FileUtil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
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

constexpr QByteArrayView kSaveMarker(".quillon-save-");
constexpr qsizetype kRandomLength = 6; // mkostemp's XXXXXX
constexpr qsizetype kPidDigitsMax = 9;

// The number of the process that made a save temporary of this name, or 0 for any other name.
pid_t saveTemporaryPid(QByteArrayView name)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto isRandom
        = [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    // "." + document name + marker + pid + "-" + random
    if (!name.startsWith('.') || name.size() < 1 + kSaveMarker.size() + 2 + kRandomLength)
        return 0;
    const qsizetype dash = name.size() - kRandomLength - 1;
    if (name[dash] != '-' || !std::all_of(name.begin() + dash + 1, name.end(), isRandom))
        return 0;
    qsizetype digits = dash;
    while (digits > 0 && isDigit(name[digits - 1]))
        --digits;
    if (digits == dash || dash - digits > kPidDigitsMax || digits < 1 + kSaveMarker.size()
        || !name.first(digits).endsWith(kSaveMarker))
        return 0;
    return pid_t(name.sliced(digits, dash - digits).toLongLong());
}

// Where a save writes the new text of the document `name`: a name that says whose it is, short
// enough for the file system however long the document's name is.
QByteArray saveTemporaryTemplate(const QByteArray& folder, const QByteArray& name)
{
    const QByteArray suffix = kSaveMarker.toByteArray() + QByteArray::number(::getpid()) + '-'
        + QByteArray(kRandomLength, 'X');
    qsizetype keep = std::min<qsizetype>(name.size(), NAME_MAX - 1 - suffix.size());
    // Never cut a character of the name in two.
    while (keep > 0 && keep < name.size() && (uchar(name[keep]) & 0xC0) == 0x80)
        --keep;
    return folder + "/." + name.first(keep) + suffix;
}

QByteArray commandName(const QByteArray& process)
{
    QFile file(QString::fromLatin1(process + "/comm"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
}

// Whether the process is running and is this program (the same executable, or one of the same
// name, such as another build). A number that now belongs to another program does not count.
bool sameProgramRunning(pid_t pid)
{
    if (pid == ::getpid())
        return true;
    const QByteArray process = "/proc/" + QByteArray::number(pid);
    struct stat st;
    if (::stat(process.constData(), &st) != 0)
        return false;
    struct stat self;
    struct stat other;
    if (::stat("/proc/self/exe", &self) == 0 && ::stat((process + "/exe").constData(), &other) == 0
        && self.st_dev == other.st_dev && self.st_ino == other.st_ino)
        return true;
    const QByteArray name = commandName(process);
    return !name.isEmpty() && name == commandName("/proc/self");
}

// A save keeps its temporary locked until it is done with it, whatever process it runs in.
bool lockedBySave(int folder, const char* name)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true; // nothing to tell it by: leave it
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

bool removeIfStale(int folder, const QByteArray& name)
{
    const pid_t pid = saveTemporaryPid(name);
    if (pid <= 0 || sameProgramRunning(pid))
        return false;
    struct stat st;
    if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
        || lockedBySave(folder, name.constData()))
        return false;
    return ::unlinkat(folder, name.constData(), 0) == 0;
}

// Writes all of the bytes at the start of the file; 0 or the error.
int writeAllAt(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(
            fd, bytes.constData() + written, size_t(bytes.size() - written), off_t(written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        written += n;
    }
    return 0;
}

// Rewrites the document itself, so it keeps its inode, owner and permissions. What it held is
// read first and put back when the new bytes cannot all be written: a failure leaves the document
// as it was. Returns 0 or the error.
int writeInPlace(const QByteArray& target, const QByteArray& bytes)
{
    const int fd = ::open(target.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const auto done = [fd](int err) {
        ::close(fd);
        return err;
    };
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return done(errno);
    if (!S_ISREG(st.st_mode))
        return done(EINVAL);
    QByteArray old;
    for (char piece[65536];;) {
        const ssize_t n = ::pread(fd, piece, sizeof piece, off_t(old.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return done(errno);
        if (n == 0)
            break;
        old.append(piece, n);
    }
    // Space for the longer text is taken before the first byte changes.
    if (bytes.size() > old.size()
        && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0
        && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
        return done(errno);
    int err = writeAllAt(fd, bytes);
    if (err == 0 && ::ftruncate(fd, off_t(bytes.size())) != 0)
        err = errno;
    if (err == 0 && ::fdatasync(fd) != 0)
        err = errno;
    if (err != 0 && writeAllAt(fd, old) == 0 && ::ftruncate(fd, off_t(old.size())) == 0)
        ::fdatasync(fd);
    return done(err);
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

bool writeTextAtomic(const QString& path, const QString& text, const LineEnds& lineEnds,
    QString* error, QByteArray* digest)
{
    const QByteArray bytes = encodeText(text, lineEnds);
    if (!writeBytesAtomic(path, bytes, error))
        return false;
    if (digest)
        *digest = digestOfBytes(bytes);
    return true;
}

bool writeBytesAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    // A linked document is written where the link points; the link stays.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        target = info.canonicalFilePath();
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray targetName = QFile::encodeName(target);
    const auto fail = [&](int err) {
        setError(error,
            QStringLiteral("Could not write \"%1\": %2")
                .arg(displayName(path), qt_error_string(err)));
        return false;
    };

    struct stat old;
    const bool replacing = ::stat(targetName.constData(), &old) == 0;
    // What an earlier save left behind when it crashed goes the next time the folder is written.
    removeStaleSaveTemporaries(folder);
    QByteArray temporary = saveTemporaryTemplate(
        QFile::encodeName(folder), QFile::encodeName(QFileInfo(target).fileName()));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        // Nothing can be made beside the document (a folder the user may not write to), but the
        // document itself may still be writable.
        if (replacing && S_ISREG(old.st_mode)) {
            const int err = writeInPlace(targetName, bytes);
            return err == 0 || fail(err);
        }
        return fail(errno);
    }
    // Held until the temporary is gone: it tells a sweep of the folder that this save is alive.
    ::flock(fd, LOCK_EX);
    int err = 0;
    if (replacing) {
        // The new file takes the old one's permissions (and owner, where we may).
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { }
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    err = writeAllAt(fd, bytes);
    // The data is on disk before the new file takes the old one's place.
    if (err == 0 && ::fdatasync(fd) != 0)
        err = errno;
    if (err == 0 && ::rename(temporary.constData(), targetName.constData()) != 0)
        err = errno;
    if (err != 0)
        ::unlink(temporary.constData());
    ::close(fd);
    if (err != 0)
        return fail(err);
    // The rename lives in the folder: sync it too, so a crash cannot bring back the old file.
    const int dir
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool isSaveTemporaryName(const QString& name)
{
    return name.startsWith(u'.') && name.contains(QString::fromLatin1(kSaveMarker))
        && saveTemporaryPid(QFile::encodeName(name)) > 0;
}

QStringList saveTemporaryGlobs()
{
    // A glob has no "one or more digits": one pattern for each length of the number.
    const QString random = QStringLiteral("[a-zA-Z0-9]").repeated(kRandomLength);
    QStringList globs;
    for (qsizetype digits = 1; digits <= kPidDigitsMax; ++digits) {
        globs.append(QStringLiteral(".*") + QString::fromLatin1(kSaveMarker)
            + QStringLiteral("[0-9]").repeated(digits) + u'-' + random);
    }
    return globs;
}

bool removeIfStaleSaveTemporary(const QString& folder, const QString& name)
{
    const int dir
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    const bool removed = removeIfStale(dir, QFile::encodeName(name));
    ::close(dir);
    return removed;
}

void removeStaleSaveTemporaries(const QString& folder)
{
    DIR* listing = ::opendir(QFile::encodeName(folder).constData());
    if (!listing)
        return;
    QList<QByteArray> candidates;
    while (const struct dirent* entry = ::readdir(listing)) {
        const QByteArrayView name(entry->d_name);
        if (name.startsWith('.') && name.contains(kSaveMarker))
            candidates.append(name.toByteArray());
    }
    for (const QByteArray& name : std::as_const(candidates))
        removeIfStale(::dirfd(listing), name);
    ::closedir(listing);
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
