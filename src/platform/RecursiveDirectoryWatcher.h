#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <limits>

class QSocketNotifier;

namespace quillon {

// Watches a folder and every folder below it (except ".git" folders) with inotify, and tells
// once per burst of changes that something changed: a change starts a burst, which ends after
// coalescingInterval without further changes, or at the latest maximumDelay after it began.
// Folders created or moved in later are watched too. Lives in one thread, which must run an
// event loop; it may be moved to another thread before start().
class RecursiveDirectoryWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int defaultCoalescingInterval = 150;
    static constexpr int defaultMaximumDelay = 2000;

    explicit RecursiveDirectoryWatcher(QObject* parent = nullptr);
    ~RecursiveDirectoryWatcher() override;

    // Replaces any running watch. False (and watchFailed) when the folder can't be watched at
    // all; folders below it that can't be watched are reported through watchFailed only.
    bool start(const QString& folder);
    void stop();

    bool isWatching() const { return m_fd >= 0; }
    QString folder() const { return m_root; }
    int watchedFolderCount() const { return int(m_pathByWatch.size()); }

    void setCoalescingInterval(int ms) { m_coalescingInterval = ms; }
    void setMaximumDelay(int ms) { m_maximumDelay = ms; }
    // At most this many folders are watched, as if the kernel's limit were reached there.
    void setWatchLimit(int folders) { m_watchLimit = folders; }

Q_SIGNALS:
    void changed();
    // start() has set up its watches: changes from now on are reported.
    void started();
    void watchFailed(const QString& message);

private:
    void readEvents();
    void noteChange();
    void flush();
    void addTree(const QString& folder);
    void removeTree(const QString& folder);
    void forgetWatch(int wd);
    bool addWatch(const QString& folder, int* error);

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QString m_root;
    QHash<int, QString> m_pathByWatch;
    QHash<QString, int> m_watchByPath;
    QTimer m_quietTimer;
    QElapsedTimer m_burst;
    int m_coalescingInterval = defaultCoalescingInterval;
    int m_maximumDelay = defaultMaximumDelay;
    int m_watchLimit = std::numeric_limits<int>::max();
    bool m_limitReported = false;
};

} // namespace quillon
