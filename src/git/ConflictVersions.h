#pragma once

#include <QString>

namespace quillon {

// The two sides of a conflicted file as stored in the index. A side that deleted the file has no
// text and its `...Deleted` flag set.
struct ConflictVersions
{
    QString ours;
    QString theirs;
    bool oursDeleted = false;
    bool theirsDeleted = false;
};

} // namespace quillon
