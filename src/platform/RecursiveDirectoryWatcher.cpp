#include "platform/RecursiveDirectoryWatcher.h"

#include "platform/FileUtil.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillon {

namespace {

constexpr uint32_t watchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM
    | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool isSkippedFolderName(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0
        || std::strcmp(name, ".git") == 0;
}

} // namespace

RecursiveDirectoryWatcher::RecursiveDirectoryWatcher(QObject* parent)
    : QObject(parent)
    , m_quietTimer(this)
{
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &RecursiveDirectoryWatcher::flush);
}

RecursiveDirectoryWatcher::~RecursiveDirectoryWatcher()
{
    stop();
}

bool RecursiveDirectoryWatcher::start(const QString& folder)
{
    stop();
    const QString root = FileUtil::standardizedPath(folder);
    if (root.isEmpty())
        return false;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        Q_EMIT watchFailed(QStringLiteral("Quillon can't watch \"%1\" for changes (%2). Changes "
                                          "made by other programs won't show up by themselves.")
                               .arg(root, qt_error_string(errno)));
        return false;
    }
    int error = 0;
    if (!addWatch(root, &error)) {
        ::close(m_fd);
        m_fd = -1;
        Q_EMIT watchFailed(QStringLiteral("Quillon can't watch \"%1\" for changes (%2). Changes "
                                          "made by other programs won't show up by themselves.")
                               .arg(root, qt_error_string(error)));
        return false;
    }
    m_root = root;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &RecursiveDirectoryWatcher::readEvents);
    addTree(root);
    Q_EMIT started();
    return true;
}

void RecursiveDirectoryWatcher::stop()
{
    m_quietTimer.stop();
    m_burst.invalidate();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd); // drops every watch with it
    m_fd = -1;
    m_root.clear();
    m_pathByWatch.clear();
    m_watchByPath.clear();
    m_limitReported = false;
}

bool RecursiveDirectoryWatcher::addWatch(const QString& folder, int* error)
{
    if (m_pathByWatch.size() >= m_watchLimit && !m_watchByPath.contains(folder)) {
        *error = ENOSPC;
        return false;
    }
    const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), watchMask);
    if (wd < 0) {
        *error = errno;
        return false;
    }
    // A folder moved within the tree keeps its watch; only its path changes.
    const QString previous = m_pathByWatch.value(wd);
    if (!previous.isEmpty() && previous != folder)
        m_watchByPath.remove(previous);
    m_pathByWatch.insert(wd, folder);
    m_watchByPath.insert(folder, wd);
    return true;
}

void RecursiveDirectoryWatcher::addTree(const QString& folder)
{
    QString firstFailure;
    int firstError = 0;
    int failures = 0;
    std::vector<QString> pending { folder };
    while (!pending.empty()) {
        const QString current = std::move(pending.back());
        pending.pop_back();
        int error = 0;
        if (current != m_root && !addWatch(current, &error)) {
            if (error == ENOENT || error == ENOTDIR)
                continue; // gone again before we got to it
            if (failures++ == 0) {
                firstFailure = current;
                firstError = error;
            }
            if (error == ENOSPC || error == ENOMEM)
                break; // every further folder would fail the same way
            continue;
        }
        const QByteArray encoded = QFile::encodeName(current);
        DIR* dir = ::opendir(encoded.constData());
        if (!dir)
            continue;
        while (const dirent* entry = ::readdir(dir)) {
            if (isSkippedFolderName(entry->d_name))
                continue;
            bool isDir = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat st;
                const QByteArray child = encoded + '/' + entry->d_name;
                isDir = ::lstat(child.constData(), &st) == 0 && S_ISDIR(st.st_mode);
            }
            if (isDir)
                pending.push_back(joinPath(current, QFile::decodeName(entry->d_name)));
        }
        ::closedir(dir);
    }
    if (failures == 0)
        return;
    if (firstError == ENOSPC || firstError == ENOMEM) {
        if (m_limitReported)
            return;
        m_limitReported = true;
        Q_EMIT watchFailed(
            QStringLiteral("Quillon can't watch all folders of \"%1\" for changes: the system's "
                           "limit of watched folders (fs.inotify.max_user_watches) is reached. "
                           "Changes made by other programs may not show up by themselves.")
                .arg(m_root));
        return;
    }
    QString message = QStringLiteral("Quillon can't watch \"%1\" for changes (%2).")
                          .arg(firstFailure, qt_error_string(firstError));
    if (failures > 1)
        message += QStringLiteral(" %1 more folders can't be watched either.").arg(failures - 1);
    message += QStringLiteral(" Changes made there by other programs won't show up by themselves.");
    Q_EMIT watchFailed(message);
}

void RecursiveDirectoryWatcher::removeTree(const QString& folder)
{
    std::vector<int> gone;
    for (auto it = m_watchByPath.cbegin(); it != m_watchByPath.cend(); ++it) {
        if (FileUtil::isUnder(it.key(), folder))
            gone.push_back(it.value());
    }
    for (const int wd : gone) {
        ::inotify_rm_watch(m_fd, wd);
        forgetWatch(wd);
    }
}

void RecursiveDirectoryWatcher::forgetWatch(int wd)
{
    const auto it = m_pathByWatch.find(wd);
    if (it == m_pathByWatch.end())
        return;
    const auto byPath = m_watchByPath.find(it.value());
    if (byPath != m_watchByPath.end() && byPath.value() == wd)
        m_watchByPath.erase(byPath);
    m_pathByWatch.erase(it);
}

void RecursiveDirectoryWatcher::readEvents()
{
    alignas(inotify_event) char buffer[64 * 1024];
    bool changed = false;
    bool rescan = false;
    while (m_fd >= 0) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            break;
        }
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed = rescan = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {
                forgetWatch(event->wd);
                continue;
            }
            const QString folder = m_pathByWatch.value(event->wd);
            if (folder.isEmpty())
                continue;
            const char* name = event->len ? event->name : "";
            if (std::strcmp(name, ".git") == 0)
                continue;
            changed = true;
            if (!(event->mask & IN_ISDIR) || !*name)
                continue;
            const QString child = joinPath(folder, QFile::decodeName(name));
            if (event->mask & IN_MOVED_FROM)
                removeTree(child);
            if (event->mask & (IN_CREATE | IN_MOVED_TO))
                addTree(child);
        }
    }
    if (rescan && m_fd >= 0)
        addTree(m_root); // events were lost: folders created meanwhile need their watches
    if (changed)
        noteChange();
}

void RecursiveDirectoryWatcher::noteChange()
{
    if (!m_burst.isValid())
        m_burst.start();
    const qint64 remaining = m_maximumDelay - m_burst.elapsed();
    if (remaining <= 0) {
        flush();
        return;
    }
    m_quietTimer.start(int(qMin<qint64>(m_coalescingInterval, remaining)));
}

void RecursiveDirectoryWatcher::flush()
{
    m_quietTimer.stop();
    m_burst.invalidate();
    Q_EMIT changed();
}

} // namespace quillon
