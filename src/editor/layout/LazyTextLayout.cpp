#include "editor/layout/LazyTextLayout.h"

#include <QTextDocument>
#include <QTextLayout>

#include <utility>

namespace quillon {

namespace {

// Beyond every coordinate the view can show.
constexpr qreal kFar = 1e9;

} // namespace

QTextLayout* LazyTextLayout::laidOutAt(qreal y, QTextBlock& block) const
{
    int index = blockAt(y);
    block = document()->findBlockByNumber(index);
    QTextLayout* layout = ensureLaidOut(block, index);
    for (int tries = 0; tries < 4; ++tries) {
        const int again = blockAt(y);
        if (again == index)
            break;
        index = again;
        block = document()->findBlockByNumber(index);
        layout = ensureLaidOut(block, index);
    }
    return layout;
}

LazyTextLayout::ChangedBlocks LazyTextLayout::changedBlocks(
    int from, int length, int slotCount) const
{
    const QTextDocument* doc = document();
    const int n = doc->blockCount();
    ChangedBlocks changed;
    changed.firstBlock = doc->findBlock(from);
    if (!changed.firstBlock.isValid())
        changed.firstBlock = doc->lastBlock();
    changed.first = changed.firstBlock.blockNumber();
    const int end = qBound(changed.firstBlock.position(), from + length, doc->characterCount() - 1);
    const QTextBlock lastBlock = doc->findBlock(end);
    changed.last = lastBlock.isValid() ? qMax(changed.first, lastBlock.blockNumber()) : n - 1;
    changed.lastOld = changed.last - (n - slotCount);
    if (slotCount == 0 || changed.lastOld < changed.first - 1 || changed.lastOld >= slotCount) {
        changed.first = 0;
        changed.last = n - 1;
        changed.lastOld = slotCount - 1;
        changed.firstBlock = doc->begin();
    }
    return changed;
}

void LazyTextLayout::keepShapingIfLong(QTextLayout& layout, int length)
{
    constexpr int kLongParagraph = 4096; // characters
    layout.setCacheEnabled(length > kLongParagraph);
}

int LazyTextLayout::offsetAt(
    const QTextLayout& layout, const QPointF& point, Qt::HitTestAccuracy accuracy, bool* exact)
{
    const QPointF local = point - layout.position();
    int offset = 0;
    *exact = false;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const QRectF box = line.naturalTextRect();
        if (box.top() > local.y()) {
            offset = qMin(offset, line.textStart());
        } else if (box.bottom() <= local.y()) {
            offset = qMax(offset, line.textStart() + line.textLength());
        } else {
            *exact = box.left() <= local.x() && box.right() >= local.x();
            return line.xToCursor(local.x(),
                accuracy == Qt::ExactHit ? QTextLine::CursorOnCharacter
                                         : QTextLine::CursorBetweenCharacters);
        }
    }
    return offset;
}

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
