#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quillon {

// The workspace's git state as the sync widget shows it.
struct GitSyncState
{
    enum class Kind {
        Synced, // lastSync
        PendingSync, // changedFilesCount
        Conflict, // conflictingFiles
        Error, // message
        NoRepository,
        LocalRepository,
        GitNotInstalled,
        Syncing,
    };

    Kind kind = Kind::NoRepository;
    QDateTime lastSync;
    int changedFilesCount = 0;
    QStringList conflictingFiles;
    QString message;

    static GitSyncState synced(const QDateTime& lastSync)
    {
        GitSyncState s;
        s.kind = Kind::Synced;
        s.lastSync = lastSync;
        return s;
    }
    static GitSyncState pendingSync(int count)
    {
        GitSyncState s;
        s.kind = Kind::PendingSync;
        s.changedFilesCount = count;
        return s;
    }
    static GitSyncState conflict(const QStringList& files)
    {
        GitSyncState s;
        s.kind = Kind::Conflict;
        s.conflictingFiles = files;
        return s;
    }
    static GitSyncState error(const QString& message)
    {
        GitSyncState s;
        s.kind = Kind::Error;
        s.message = message;
        return s;
    }
    static GitSyncState noRepository() { return {}; }
    static GitSyncState localRepository()
    {
        GitSyncState s;
        s.kind = Kind::LocalRepository;
        return s;
    }
    static GitSyncState gitNotInstalled()
    {
        GitSyncState s;
        s.kind = Kind::GitNotInstalled;
        return s;
    }
    static GitSyncState syncing()
    {
        GitSyncState s;
        s.kind = Kind::Syncing;
        return s;
    }

    // Equal when the cases and their own values are equal; fields of other cases are ignored.
    bool operator==(const GitSyncState& other) const
    {
        if (kind != other.kind)
            return false;
        switch (kind) {
        case Kind::Synced:
            return lastSync == other.lastSync;
        case Kind::PendingSync:
            return changedFilesCount == other.changedFilesCount;
        case Kind::Conflict:
            return conflictingFiles == other.conflictingFiles;
        case Kind::Error:
            return message == other.message;
        default:
            return true;
        }
    }
};

} // namespace quillon
