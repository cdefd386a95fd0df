// Saving a document: through a temporary file beside it that then takes its place, or in place;
// and the sweep of temporaries that a crashed save left behind.
#include "platform/FileUtil.h"

#include "platform/FileUtil_Messages.h"

#include <QFile>
#include <QFileInfo>

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

using detail::displayName;
using detail::setError;

namespace {

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

// Writes all of the bytes at the start of the file, a stretch at a time with `between` run
// between the stretches; 0 or the error.
int writeAllAt(int fd, const QByteArray& bytes, const std::function<void()>& between = {})
{
    constexpr qsizetype kStretch = 1 << 20;
    qsizetype written = 0;
    while (written < bytes.size()) {
        if (between && written > 0 && written % kStretch == 0)
            between();
        const qsizetype stretch = between ? kStretch - written % kStretch : bytes.size() - written;
        const ssize_t n = ::pwrite(fd, bytes.constData() + written,
            size_t(qMin(stretch, bytes.size() - written)), off_t(written));
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

namespace {

bool mayWrite(const QByteArray& path, const struct stat& st)
{
    // The superuser may write anything; a file its owner made read-only is still left alone.
    if (::geteuid() == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
        return false;
    if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) == 0)
        return true;
    return errno != EACCES && errno != EPERM && errno != EROFS && errno != ETXTBSY;
}

void syncFolder(const QString& folder)
{
    // A rename lives in the folder: sync it too, so a crash cannot bring back the old file.
    const int dir
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool cannotExchange(int err)
{
    return err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP;
}

// Writes bytes to path through a temporary beside it; `create`: a missing file is made, else
// reported. See replaceFile.
ReplaceOutcome writeThroughTemporary(const QString& path, const QByteArray& bytes,
    const ReplaceChecks& checks, bool create, QString* error)
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
        return ReplaceOutcome::Failed;
    };
    const auto holdsExpected
        = [&](const QString& what) { return !checks.holdsExpected || checks.holdsExpected(what); };

    struct stat old;
    const bool replacing = ::stat(targetName.constData(), &old) == 0;
    if (!replacing && (!create || errno != ENOENT))
        return errno == ENOENT ? ReplaceOutcome::Missing : fail(errno);
    if (replacing && !mayWrite(targetName, old)) {
        fail(EACCES);
        return ReplaceOutcome::ReadOnly;
    }
    const auto inPlace = [&] {
        if (!holdsExpected(target))
            return ReplaceOutcome::Changed;
        const int err = writeInPlace(targetName, bytes);
        return err == 0 ? ReplaceOutcome::Replaced : fail(err);
    };
    // A new file would take only this name along: the file's other names would keep the old text.
    if (replacing && S_ISREG(old.st_mode) && old.st_nlink > 1)
        return inPlace();
    // What an earlier save left behind when it crashed goes the next time the folder is written.
    removeStaleSaveTemporaries(folder);
    QByteArray temporary = saveTemporaryTemplate(
        QFile::encodeName(folder), QFile::encodeName(QFileInfo(target).fileName()));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        // Nothing can be made beside the document (a folder the user may not write to), but the
        // document itself may still be writable.
        if (replacing && S_ISREG(old.st_mode))
            return inPlace();
        return fail(errno);
    }
    // Held until the temporary is gone: it tells a sweep of the folder that this save is alive.
    ::flock(fd, LOCK_EX);
    const auto done = [&](ReplaceOutcome outcome, int err = 0) {
        ::unlink(temporary.constData());
        ::close(fd);
        return err != 0 ? fail(err) : outcome;
    };
    if (replacing) {
        // The new file takes the old one's permissions (and owner, where we may).
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { }
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    int err = writeAllAt(fd, bytes, checks.betweenStretches);
    // The data is on disk before the new file takes the old one's place.
    if (err == 0 && ::fdatasync(fd) != 0)
        err = errno;
    if (err != 0)
        return done(ReplaceOutcome::Failed, err);
    if (!replacing) {
        if (::rename(temporary.constData(), targetName.constData()) != 0)
            return done(ReplaceOutcome::Failed, errno);
        ::close(fd);
        syncFolder(folder);
        return ReplaceOutcome::Replaced;
    }
    // Writing the text took a while: look again right before the file is replaced.
    if (!holdsExpected(target))
        return done(ReplaceOutcome::Changed);
    if (checks.beforeReplace)
        checks.beforeReplace();
    // The exchange fails when the file is gone, where a rename would make it again; and the
    // version it swaps out can still be looked at, and put back.
    if (::renameat2(
            AT_FDCWD, temporary.constData(), AT_FDCWD, targetName.constData(), RENAME_EXCHANGE)
        != 0) {
        err = errno;
        if (err == ENOENT)
            return done(ReplaceOutcome::Missing);
        if (!cannotExchange(err))
            return done(ReplaceOutcome::Failed, err);
        if (::rename(temporary.constData(), targetName.constData()) != 0)
            return done(ReplaceOutcome::Failed, errno);
        ::close(fd);
        syncFolder(folder);
        return ReplaceOutcome::Replaced;
    }
    // The temporary's name now holds the version that was replaced.
    if (!holdsExpected(QFile::decodeName(temporary))) {
        if (::renameat2(
                AT_FDCWD, temporary.constData(), AT_FDCWD, targetName.constData(), RENAME_EXCHANGE)
            != 0) {
            // Theirs cannot be put back in place: it keeps a name of its own beside the file,
            // not a temporary's, which a later sweep would remove.
            ::close(fd);
            QString kept = QFile::decodeName(temporary);
            const QFileInfo file(target);
            const QString suffix = file.suffix().isEmpty() ? QString() : u'.' + file.suffix();
            const QString other = file.absolutePath() + u'/' + file.completeBaseName()
                + QStringLiteral(" (other version)") + suffix;
            QString ignored;
            if (renameNoReplace(kept, other, &ignored))
                kept = other;
            setError(error,
                QStringLiteral("\"%1\" was changed while it was written; the other version is "
                               "kept as \"%2\".")
                    .arg(displayName(path), displayName(kept)));
            return ReplaceOutcome::Failed;
        }
        syncFolder(folder);
        return done(ReplaceOutcome::Changed);
    }
    done(ReplaceOutcome::Replaced);
    syncFolder(folder);
    return ReplaceOutcome::Replaced;
}

} // namespace

bool writeBytesAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    return writeThroughTemporary(path, bytes, {}, true, error) == ReplaceOutcome::Replaced;
}

ReplaceOutcome replaceFile(
    const QString& path, const QByteArray& bytes, const ReplaceChecks& checks, QString* error)
{
    return writeThroughTemporary(path, bytes, checks, false, error);
}

bool isReadOnlyFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    return ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && !mayWrite(name, st);
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

} // namespace quillon::FileUtil
