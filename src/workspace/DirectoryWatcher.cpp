#include "workspace/DirectoryWatcher.h"

#include "platform/FileUtil.h"
#include "platform/RecursiveDirectoryWatcher.h"

#include <QThread>

namespace quillon {

DirectoryWatcher::DirectoryWatcher(QObject* parent)
    : QObject(parent)
{
}

DirectoryWatcher::~DirectoryWatcher()
{
    stop();
    if (m_thread) {
        // Deferred deletions still pending in the thread are carried out as it finishes.
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
    }
}

void DirectoryWatcher::start(const QString& folder, std::function<void()> onChange)
{
    stop();
    const QString root = FileUtil::standardizedPath(folder);
    if (root.isEmpty())
        return;
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("DirectoryWatcher"));
        m_thread->start(QThread::LowPriority);
    }
    m_folder = root;
    m_onChange = std::move(onChange);
    const quint64 generation = ++m_generation;

    auto* watcher = new RecursiveDirectoryWatcher;
    watcher->moveToThread(m_thread);
    connect(watcher, &RecursiveDirectoryWatcher::changed, this, [this, generation] {
        if (generation == m_generation && m_onChange) {
            const auto onChange = m_onChange; // it may restart or stop us
            onChange();
        }
    });
    connect(watcher, &RecursiveDirectoryWatcher::started, this, [this, generation] {
        if (generation == m_generation)
            Q_EMIT watching();
    });
    connect(watcher, &RecursiveDirectoryWatcher::watchFailed, this,
        [this, generation](const QString& message) {
            if (generation == m_generation)
                Q_EMIT watchFailed(message);
        });
    QMetaObject::invokeMethod(watcher, [watcher, root] { watcher->start(root); });
    m_watcher = watcher;
}

void DirectoryWatcher::stop()
{
    ++m_generation;
    m_folder.clear();
    if (m_watcher)
        m_watcher->deleteLater();
    m_watcher = nullptr;
}

} // namespace quillon
