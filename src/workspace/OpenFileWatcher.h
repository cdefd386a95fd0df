#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace quillon {

// Tells its owner, once per burst of changes, that one of a few files or a folder holding one
// changed: for open documents no folder watch covers (a file opened on its own, or one outside
// the workspace folder). Each file's folder is watched too, so that a file replaced by a rename
// (as most programs save) is seen, and the file is watched again afterwards.
class OpenFileWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int coalescingInterval = 150;

    explicit OpenFileWatcher(QObject* parent = nullptr);

    // Replaces the files watched; an empty list watches nothing.
    void setFiles(const QStringList& files);
    QStringList files() const { return m_files; }

Q_SIGNALS:
    void changed();

private:
    void watchWhatIsMissing();

    QFileSystemWatcher m_watcher;
    QStringList m_files;
    QTimer m_quiet;
};

} // namespace quillon
