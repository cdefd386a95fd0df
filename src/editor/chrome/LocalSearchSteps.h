#pragma once

#include <QString>

#include <optional>

namespace quillon {

class WorkspaceState;

// Stepping through find-in-document matches, and what the find bar says about them.
namespace LocalSearchSteps {

// The next match after `index`, wrapping past the last; none without matches.
inline std::optional<int> next(int index, int total)
{
    if (total < 1)
        return std::nullopt;
    return int(((qint64(index) + 1) % total + total) % total);
}
// The match before `index`, wrapping before the first; none without matches.
inline std::optional<int> previous(int index, int total)
{
    if (total < 1)
        return std::nullopt;
    return int(((qint64(index) - 1) % total + total) % total);
}
// "No matches", or the active match's number "of" the count (the stored index shown as it is).
inline QString countText(int index, int total)
{
    if (total < 1)
        return QStringLiteral("No matches");
    return QStringLiteral("%1 of %2").arg(qint64(index) + 1).arg(total);
}

// The window's find-bar actions: step the workspace's active match (nothing without matches), or
// hide the bar, keeping the query, the index and the count for when it is shown again.
void stepNext(WorkspaceState& workspace);
void stepPrevious(WorkspaceState& workspace);
void close(WorkspaceState& workspace);

} // namespace LocalSearchSteps

} // namespace quillon
