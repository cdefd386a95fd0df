#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

namespace quillon {

class WorkspaceState;

// One folder or document of the workspace tree. Children are listed on demand, only as deep as
// folders are expanded. A node owns its children; a rebuilt tree is made of new nodes with new ids.
class FileNode : public QObject
{
    Q_OBJECT
public:
    FileNode(const QString& path, bool isDirectory, WorkspaceState* workspaceState,
        QObject* parent = nullptr);

    QUuid id() const { return m_id; }
    // Absolute standardized path.
    QString url() const { return m_url; }
    bool isDirectory() const { return m_isDirectory; }
    WorkspaceState* workspaceState() const { return m_workspaceState.data(); }
    const QList<FileNode*>& children() const { return m_children; }
    QString name() const;

    // Lists the folder on disk with the owner's filters (hidden files, extensions) and loads
    // every subfolder that the owner reports expanded. Does nothing for a document.
    void loadChildren();

    // The fallback extension filter when the active set is empty.
    static const QSet<QString>& supportedExtensions();

Q_SIGNALS:
    void childrenChanged();

private:
    // A child whose path is already standardized.
    FileNode(FileNode* parent, const QString& standardizedPath, bool isDirectory);

    QUuid m_id;
    QString m_url;
    bool m_isDirectory;
    QPointer<WorkspaceState> m_workspaceState;
    QList<FileNode*> m_children;
};

} // namespace quillon
