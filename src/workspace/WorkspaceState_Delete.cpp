#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "platform/UserPrompts.h"
#include "workspace/WorkspaceLog.h"

#include <QFileInfo>

namespace quillon {

namespace {

int ask(const QString& message, const QString& informativeText, const QStringList& buttons)
{
    UserPrompts::Alert alert;
    alert.message = message;
    alert.informativeText = informativeText;
    alert.buttons = buttons;
    alert.warning = true;
    return UserPrompts::current().runAlert(alert);
}

} // namespace

void WorkspaceState::deleteFile(const QString& url)
{
    const QString path = FileUtil::standardizedPath(url);
    const QString name = QFileInfo(path).fileName();
    if (m_confirmFileDeletion
        && ask(QStringLiteral("Delete '") + name + QStringLiteral("'?"),
               tr("Are you sure you want to move this item to the Trash?"),
               { tr("Move to Trash"), tr("Cancel") })
            != 0)
        return;

    printLine(QStringLiteral("Quillon: Executing deleteFile for path: ") + path);
    QString error;
    if (FileUtil::moveToTrash(path, &error)) {
        printLine(QStringLiteral("Quillon: Successfully moved item to Trash: ") + path);
    } else {
        printLine(QStringLiteral("Quillon: Trash item failed (") + error
            + QStringLiteral("), removing permanently..."));
        // Deleting for good is not what the user agreed to: ask first (unless it is already gone).
        const QFileInfo item(path);
        if ((item.exists() || item.isSymLink())
            && ask(tr("“%1” can't be moved to the Trash.").arg(name),
                   tr("%1\n\nDo you want to delete it permanently? This can't be undone.")
                       .arg(error),
                   { tr("Delete Permanently"), tr("Cancel") })
                != 0)
            return;
        if (FileUtil::removePermanently(path, &error)) {
            printLine(QStringLiteral("Quillon: Successfully removed item permanently: ") + path);
        } else {
            printLine(QStringLiteral("Quillon: Failed to remove item permanently: ") + error);
        }
    }

    const QFileInfo remains(path);
    if (remains.exists() || remains.isSymLink()) {
        setLastFileOperationError(tr("“%1” could not be deleted: %2").arg(name, error));
        ask(tr("“%1” could not be deleted.").arg(name), error, { tr("OK") });
        refreshFolder();
        return;
    }
    setLastFileOperationError({});
    QTimer::singleShot(0, this, [this, path] { finishDeletion(path); });
}

void WorkspaceState::finishDeletion(const QString& path)
{
    QSet<QString> expanded;
    for (const QString& p : std::as_const(m_expandedPaths)) {
        if (!FileUtil::isUnder(p, path))
            expanded.insert(p);
    }
    setExpandedPaths(expanded);

    QStringList closing;
    for (const QString& tab : std::as_const(m_openTabs)) {
        if (FileUtil::isUnder(FileUtil::standardizedPath(tab), path))
            closing.append(tab);
    }
    for (const QString& tab : closing)
        closeTab(tab);

    QList<RecentEntity> recents = m_recentEntities;
    recents.removeIf([&](const RecentEntity& e) { return FileUtil::isUnder(e.url, path); });
    setRecentEntities(recents);

    refreshFolder();
    if (!m_folderURL.isEmpty() && m_gitHooks)
        m_gitHooks->stageDeletion(m_folderURL, path);
    Q_EMIT workspaceChanged();
}

} // namespace quillon
