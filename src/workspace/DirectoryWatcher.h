#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QThread;

namespace quillon {

class RecursiveDirectoryWatcher;

// Tells its owner that something changed somewhere under the open folder (not what), at most
// once per burst of changes, on the thread the watcher lives in (the main thread). The
// file-system events are read on a thread of the watcher's own. One folder at a time.
class DirectoryWatcher : public QObject
{
    Q_OBJECT
public:
    explicit DirectoryWatcher(QObject* parent = nullptr);
    ~DirectoryWatcher() override;

    // Replaces any running watch. An empty folder only stops. A change notice of an earlier
    // start that is still on its way is dropped.
    void start(const QString& folder, std::function<void()> onChange);
    // Does nothing when idle; afterwards no onChange call reaches the owner.
    void stop();

    bool isWatching() const { return !m_folder.isEmpty(); }
    QString folder() const { return m_folder; }

Q_SIGNALS:
    // The watch of the latest start() is in place. Changes made between start() and now were not
    // reported: an owner that listed the folder before should list it again.
    void watching();
    // Some or all of the folder can't be watched; a sentence for the user.
    void watchFailed(const QString& message);

private:
    QThread* m_thread = nullptr;
    RecursiveDirectoryWatcher* m_watcher = nullptr; // lives in m_thread
    QString m_folder;
    std::function<void()> m_onChange;
    quint64 m_generation = 0;
};

} // namespace quillon
