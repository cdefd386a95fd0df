#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

// The parsed working-tree status. Paths are relative to the repository root.
struct GitStatusResult
{
    bool isClean = true;
    int changedFileCount = 0;
    QStringList changedFiles;
    bool hasConflicts = false;
    QStringList conflictingFiles;
    int ahead = 0;
    int behind = 0;

    // From the branch line: the branch ("" when detached), its upstream ("" when it has none),
    // whether the upstream is gone from the remote, and whether the branch has no commit yet.
    QString branch;
    QString upstream;
    bool upstreamGone = false;
    bool unbornBranch = false;

    bool operator==(const GitStatusResult&) const = default;
};

} // namespace quillon
