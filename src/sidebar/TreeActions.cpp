#include "sidebar/TreeActions.h"

#include "sidebar/SidebarText.h"
#include "workspace/WorkspaceState.h"

#include <QDir>

#include <functional>

namespace quillon::TreeActions {

namespace {

bool isUnder(const QString& path, const QString& folder)
{
    if (path == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

// Runs a workspace operation that is known to change something unless refused: a rename, move or
// creation that happens rebuilds the tree; a refused one leaves it and says why in
// lastFileOperationError (which may repeat the previous error word for word, so its change
// signal proves nothing).
Outcome observe(WorkspaceState& workspace, const std::function<void()>& operation)
{
    bool rebuilt = false;
    const auto onRebuild = QObject::connect(
        &workspace, &WorkspaceState::rootNodeChanged, [&rebuilt] { rebuilt = true; });
    operation();
    QObject::disconnect(onRebuild);
    Outcome outcome;
    outcome.changed = rebuilt;
    if (!rebuilt)
        outcome.error = workspace.lastFileOperationError();
    return outcome;
}

} // namespace

QString dropFolder(const QString& rowPath, bool rowIsDirectory)
{
    return rowIsDirectory ? rowPath : SidebarText::parentPath(rowPath);
}

bool movesSomewhere(const QString& item, const QString& folder)
{
    const QString source = QDir::cleanPath(item);
    const QString target = QDir::cleanPath(folder);
    if (source.isEmpty() || target.isEmpty() || isUnder(target, source))
        return false;
    return SidebarText::parentPath(source) != target;
}

QString renamedName(const QString& path, bool isDirectory, const QString& typed)
{
    QString name = typed.trimmed();
    const QString extension = SidebarText::extensionOf(SidebarText::lastComponent(path));
    if (!name.isEmpty() && !isDirectory && !name.contains(QLatin1Char('.')) && !extension.isEmpty())
        name += QLatin1Char('.') + extension;
    return name;
}

Outcome rename(
    WorkspaceState& workspace, const QString& path, bool isDirectory, const QString& typed)
{
    const QString name = typed.trimmed();
    if (name.isEmpty() || renamedName(path, isDirectory, typed) == SidebarText::lastComponent(path))
        return {};
    return observe(workspace, [&] { workspace.renameFile(path, name); });
}

Outcome move(WorkspaceState& workspace, const QString& item, const QString& folder)
{
    if (!movesSomewhere(item, folder))
        return {};
    return observe(workspace, [&] { workspace.moveItem(item, folder); });
}

Outcome createFile(WorkspaceState& workspace, const std::optional<QString>& in)
{
    if (!workspace.targetDirectory(in))
        return {};
    return observe(workspace, [&] { workspace.createNewFile(in); });
}

Outcome createFolder(WorkspaceState& workspace, const std::optional<QString>& in)
{
    if (!workspace.targetDirectory(in))
        return {};
    return observe(workspace, [&] { workspace.createNewFolder(in); });
}

} // namespace quillon::TreeActions
