#include "editor/LazyTextLayout.h"

#include <utility>

namespace quillon {

namespace {

// Beyond every coordinate the view can show.
constexpr qreal kFar = 1e9;

} // namespace

void LazyTextLayout::noteMoved(double fromY) const
{
    m_movedFrom = m_movedFrom < 0 ? fromY : qMin(m_movedFrom, fromY);
    reportLater();
}

double LazyTextLayout::takeMovedFrom() const
{
    return std::exchange(m_movedFrom, -1);
}

void LazyTextLayout::reportLater() const
{
    if (m_reportQueued)
        return;
    m_reportQueued = true;
    auto* self = const_cast<LazyTextLayout*>(this);
    QMetaObject::invokeMethod(
        self, [self] { self->report(); }, Qt::QueuedConnection);
}

void LazyTextLayout::report()
{
    m_reportQueued = false;
    if (const double from = takeMovedFrom(); from >= 0)
        Q_EMIT update(QRectF(0, from - 4, kFar, kFar));
    const QSizeF size = documentSize();
    if (size != m_reportedSize) {
        m_reportedSize = size;
        Q_EMIT documentSizeChanged(size);
    }
}

} // namespace quillon
