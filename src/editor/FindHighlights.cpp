#include "editor/FindHighlights.h"

#include "workspace/WorkspaceState.h"

#include <QPointer>
#include <QTextEdit>

namespace quillon {

void FindHighlights::clear(QTextEdit& view)
{
    if (!view.extraSelections().isEmpty())
        view.setExtraSelections({});
}

void FindHighlights::postMatchCount(QObject& context, WorkspaceState& workspace, int count)
{
    QPointer<WorkspaceState> target(&workspace);
    QMetaObject::invokeMethod(
        &context,
        [target, count] {
            if (target && target->totalLocalMatchCount() != count)
                target->setTotalLocalMatchCount(count);
        },
        Qt::QueuedConnection);
}

} // namespace quillon
