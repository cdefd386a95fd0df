#include "workspace/WorkspaceState.h"

#include "analytics/AnalyticsManager.h"
#include "platform/FileUtil.h"
#include "platform/UserPrompts.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceLog.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace quillon {

namespace {

using FileUtil::itemExists;

QString joined(const QString& folder, const QString& name)
{
    return folder == u"/" ? u'/' + name : folder + u'/' + name;
}

} // namespace

std::optional<QString> WorkspaceState::targetDirectory(const std::optional<QString>& url) const
{
    const QString candidate = url ? *url : m_selectedURL;
    const QFileInfo info(candidate);
    if (!candidate.isEmpty() && info.exists())
        return FileUtil::standardizedPath(info.isDir() ? candidate : info.absolutePath());
    if (m_folderURL.isEmpty())
        return std::nullopt;
    return m_folderURL;
}

bool WorkspaceState::confirmName(const QString& name)
{
    QString reason;
    if (FileUtil::isValidItemName(name, &reason))
        return true;
    setLastFileOperationError(reason);
    UserPrompts::Alert alert;
    alert.message = tr("The name “%1” can't be used.").arg(name);
    alert.informativeText = reason;
    alert.buttons = { tr("OK") };
    alert.warning = true;
    UserPrompts::current().runAlert(alert);
    return false;
}

QString WorkspaceState::freeUntitledPath(const QString& folder, int from, int* number)
{
    for (int n = std::max(from, 0);; ++n) {
        const QString path = joined(folder,
            (n == 0 ? QStringLiteral("Untitled") : QStringLiteral("Untitled %1").arg(n))
                + QStringLiteral(".md"));
        if (itemExists(path))
            continue;
        if (number)
            *number = n;
        return path;
    }
}

void WorkspaceState::createNewFile(const std::optional<QString>& in)
{
    const std::optional<QString> folder = targetDirectory(in);
    if (!folder)
        return;
    setExpanded(true, *folder);

    QString path;
    QString error;
    for (int n = 0;; ++n) {
        path = freeUntitledPath(*folder, n, &n);
        const QString baseName = QFileInfo(path).completeBaseName();
        if (FileUtil::createTextFile(path, QStringLiteral("# ") + baseName + QStringLiteral("\n\n"),
                FileUtil::LineEnding::Lf, &error))
            break;
        // Another program took the name since we looked: try the next one, never replace it.
        if (itemExists(path))
            continue;
        printLine(QStringLiteral("Failed to create new file: ") + error);
        // Said plainly when the folder itself has gone (moved, renamed or deleted meanwhile).
        if (!QFileInfo(*folder).isDir())
            error = tr("the folder “%1” no longer exists.").arg(FileUtil::fileName(*folder));
        setLastFileOperationError(tr("The new file could not be created: %1").arg(error));
        return;
    }
    setLastFileOperationError({});
    refreshFolder();
    AnalyticsManager::shared().track(AnalyticsEvent::documentCreated());
    openFile(path);
}

void WorkspaceState::createNewFolder(const std::optional<QString>& in)
{
    const std::optional<QString> folder = targetDirectory(in);
    if (!folder)
        return;
    setExpanded(true, *folder);

    QString path = joined(*folder, QStringLiteral("New Folder"));
    for (int n = 1; itemExists(path); ++n)
        path = joined(*folder, QStringLiteral("New Folder %1").arg(n));
    if (!QDir().mkpath(path)) {
        const QString error = tr("You may not have permission to write in “%1”.").arg(*folder);
        printLine(QStringLiteral("Failed to create new folder: ") + error);
        setLastFileOperationError(tr("The new folder could not be created: %1").arg(error));
        return;
    }
    setLastFileOperationError({});
    setExpanded(true, path);
    refreshFolder();
    setSelectedURL(path);
    Q_EMIT workspaceChanged();
}

void WorkspaceState::moveItem(const QString& from, const QString& to)
{
    const QString oldPath = FileUtil::standardizedPath(from);
    const std::optional<QString> folder = targetDirectory(to);
    if (!folder || FileUtil::isUnder(*folder, oldPath))
        return;
    const QString newPath = joined(*folder, QFileInfo(oldPath).fileName());
    if (newPath == oldPath)
        return;
    QString error;
    if (!FileUtil::renameNoReplace(oldPath, newPath, &error)) {
        printLine(QStringLiteral("Failed to move item from ") + QUrl::fromLocalFile(from).toString()
            + QStringLiteral(" to ") + QUrl::fromLocalFile(newPath).toString()
            + QStringLiteral(": ") + error);
        setLastFileOperationError(
            tr("“%1” could not be moved: %2").arg(QFileInfo(oldPath).fileName(), error));
        return;
    }
    setLastFileOperationError({});
    remapTabs(oldPath, newPath);
    refreshFolder();
}

void WorkspaceState::renameFile(const QString& url, const QString& newName)
{
    const QString oldPath = FileUtil::standardizedPath(url);
    const QFileInfo oldInfo(oldPath);
    const bool isFolder = oldInfo.isDir();
    QString name = newName.trimmed();
    if (name.isEmpty() || !confirmName(name))
        return;
    // The extension follows the last "." that does not begin the name: ".env" has none.
    const QString oldName = oldInfo.fileName();
    const qsizetype dot = oldName.lastIndexOf(u'.');
    const QString extension = dot > 0 ? oldName.mid(dot + 1) : QString();
    if (!isFolder && !name.contains(u'.') && !extension.isEmpty())
        name += u'.' + extension;
    const QString newPath = joined(oldInfo.absolutePath(), name);
    if (newPath == oldPath)
        return;
    QString error;
    if (!FileUtil::renameNoReplace(oldPath, newPath, &error)) {
        printLine(QStringLiteral("Failed to rename item: ") + error);
        setLastFileOperationError(
            tr("“%1” could not be renamed: %2").arg(oldInfo.fileName(), error));
        return;
    }
    setLastFileOperationError({});
    if (isFolder) {
        QSet<QString> expanded;
        for (const QString& path : std::as_const(m_expandedPaths)) {
            if (FileUtil::isUnder(path, oldPath))
                expanded.insert(newPath + path.mid(oldPath.size()));
            else
                expanded.insert(path);
        }
        setExpandedPaths(expanded);
    }
    remapTabs(oldPath, newPath);
    refreshFolder();
}

void WorkspaceState::remapTabs(const QString& oldPath, const QString& newPath)
{
    QStringList tabs = m_openTabs;
    for (qsizetype i = 0; i < tabs.size(); ++i) {
        const QString path = FileUtil::standardizedPath(tabs.at(i));
        if (!FileUtil::isUnder(path, oldPath))
            continue;
        const QString replacement = newPath + path.mid(oldPath.size());
        // The document moves first, so the tab finds it under its new path.
        if (Document* moved = m_documents.take(path)) {
            moved->setPath(replacement);
            if (Document* replaced = m_documents.take(replacement)) {
                Q_EMIT documentClosing(replaced);
                replaced->deleteLater();
            }
            m_documents.insert(replacement, moved);
            watchDocumentsOutsideFolder();
        }
        tabs[i] = replacement;
        setOpenTabs(tabs);
        if (isTabActive(path))
            setActiveTabURL(replacement);
    }
}

} // namespace quillon
