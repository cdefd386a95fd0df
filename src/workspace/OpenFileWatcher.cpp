#include "workspace/OpenFileWatcher.h"

#include <QFileInfo>
#include <QSet>

namespace quillon {

namespace {

QSet<QString> foldersOf(const QStringList& files)
{
    QSet<QString> folders;
    for (const QString& file : files)
        folders.insert(QFileInfo(file).absolutePath());
    return folders;
}

} // namespace

OpenFileWatcher::OpenFileWatcher(QObject* parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(coalescingInterval);
    const auto note = [this] { m_quiet.start(); };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, note);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, note);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        // A file replaced or deleted lost its watch with its old inode.
        watchWhatIsMissing();
        Q_EMIT changed();
    });
}

void OpenFileWatcher::setFiles(const QStringList& files)
{
    if (files == m_files)
        return;
    m_files = files;
    const QSet<QString> wanted = QSet<QString>(files.begin(), files.end()) | foldersOf(files);
    QStringList gone;
    for (const QString& path : m_watcher.files() + m_watcher.directories()) {
        if (!wanted.contains(path))
            gone.append(path);
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    watchWhatIsMissing();
}

void OpenFileWatcher::watchWhatIsMissing()
{
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    QStringList missing;
    const QSet<QString> folders = foldersOf(m_files);
    for (const QString& path : m_files + QStringList(folders.begin(), folders.end())) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            missing.append(path);
    }
    if (!missing.isEmpty())
        m_watcher.addPaths(missing);
}

} // namespace quillon
