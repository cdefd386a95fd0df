#pragma once

#include <QString>

#include <optional>

namespace quillon {

class WorkspaceState;

// What the tree does with the workspace's file operations, headless: which drops make sense, and
// how a refused rename, move or creation is told apart from one that did nothing.
namespace TreeActions {

struct Outcome
{
    bool changed = false; // the item was renamed or moved
    QString error; // why the workspace refused; empty when it did not
};

// The folder an item dropped on a row goes into: the row itself for a folder, else its folder.
QString dropFolder(const QString& rowPath, bool rowIsDirectory);

// Whether moving the item into the folder would change anything: not onto itself, not into its
// own subtree, not into the folder that already holds it.
bool movesSomewhere(const QString& item, const QString& folder);

// The name a rename gives: the typed name trimmed, a file keeping its extension when the typed
// name has none.
QString renamedName(const QString& path, bool isDirectory, const QString& typed);

// Renames the item to the typed name. A blank or unchanged name does nothing.
Outcome rename(
    WorkspaceState& workspace, const QString& path, bool isDirectory, const QString& typed);

// Moves the item into the folder; never replaces an item already there.
Outcome move(WorkspaceState& workspace, const QString& item, const QString& folder);

// Creates a new file, or a new folder, where the workspace puts one asked for at `in`
// (WorkspaceState::targetDirectory). Nothing happens when there is no such place.
Outcome createFile(WorkspaceState& workspace, const std::optional<QString>& in);
Outcome createFolder(WorkspaceState& workspace, const std::optional<QString>& in);

} // namespace TreeActions

} // namespace quillon
