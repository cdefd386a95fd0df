#include "editor/document/HistoryMenu.h"

#include <QAction>
#include <QMenu>

namespace quillon {

namespace {

bool isItem(const QAction& action, const char* name, QLatin1String text)
{
    return action.objectName() == QLatin1String(name) || action.text().startsWith(text);
}

void route(QAction& action, QObject* context, const std::function<bool()>& can,
    const std::function<void()>& step, const std::function<void()>& afterStep)
{
    if (!step)
        return;
    action.setEnabled(!can || can());
    QObject::connect(&action, &QAction::triggered, context, [step, afterStep] {
        step();
        if (afterStep)
            afterStep();
    });
}

} // namespace

void routeHistoryActions(QMenu& menu, QObject* context, const SharedHistory& history,
    const std::function<void()>& afterStep)
{
    // The text view's document keeps no history, so its menu would show both items greyed out.
    const QList<QAction*> actions = menu.actions();
    for (QAction* action : actions) {
        if (isItem(*action, "edit-undo", QLatin1String("&Undo")))
            route(*action, context, history.canUndo, history.undo, afterStep);
        else if (isItem(*action, "edit-redo", QLatin1String("&Redo")))
            route(*action, context, history.canRedo, history.redo, afterStep);
    }
}

} // namespace quillon
