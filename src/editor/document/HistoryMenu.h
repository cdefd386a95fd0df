#pragma once

#include <functional>

class QMenu;
class QObject;

namespace quillon {

// The history a text view's own document does not keep: the one its Markdown document keeps,
// shared by every view of it.
struct SharedHistory
{
    std::function<bool()> canUndo;
    std::function<bool()> canRedo;
    std::function<void()> undo;
    std::function<void()> redo;
};

// Makes the Undo and Redo items of a text view's standard context menu walk `history`: enabled
// when it has a step, running the same path as the keys. `context` owns the connections.
void routeHistoryActions(QMenu& menu, QObject* context, const SharedHistory& history,
    const std::function<void()>& afterStep = {});

} // namespace quillon
