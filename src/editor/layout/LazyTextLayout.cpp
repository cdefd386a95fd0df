#include "editor/layout/LazyTextLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>
#include <utility>

namespace quillon {

namespace {

// Beyond every coordinate the view can show.
constexpr qreal kFar = 1e9;
// Long enough that a paragraph this long takes a moment to lay out whole, short enough that
// laying out one this long goes unnoticed.
constexpr int kLongParagraph = 48 * 1024;
int longParagraphLength = kLongParagraph;

} // namespace

int LazyTextLayout::longParagraph()
{
    return longParagraphLength;
}

void LazyTextLayout::setLongParagraphForTesting(int length)
{
    longParagraphLength = length > 0 ? length : kLongParagraph;
}

int LazyTextLayout::lineEnd(const QTextLayout& layout)
{
    const int count = layout.lineCount();
    if (count == 0)
        return 0;
    const QTextLine last = layout.lineAt(count - 1);
    return last.textStart() + last.textLength();
}

bool LazyTextLayout::reaches(const QTextLayout& layout, Reach reach)
{
    const int count = layout.lineCount();
    if (count == 0)
        return false;
    // Half the margin is left when more are asked for: a few more lines are not worth a step.
    const QTextLine last = layout.lineAt(count - 1);
    if (last.y() < reach.y + kLinesBeyond / 2)
        return false;
    if (reach.offset <= 0)
        return true;
    if (lineEnd(layout) <= reach.offset)
        return false;
    const QTextLine line = layout.lineForTextPosition(reach.offset);
    return line.isValid() && last.y() >= line.y() + kLinesBeyond / 2;
}

double LazyTextLayout::restHeight(const QTextLayout& layout, int length, double made)
{
    const int count = layout.lineCount();
    const int end = lineEnd(layout);
    if (count == 0 || end <= 0 || end >= length)
        return 0;
    const double perLine = double(end) / count;
    return std::ceil((length - end) / perLine) * (made / count);
}

int LazyTextLayout::caretIn(const QTextBlock& block) const
{
    const int offset = m_caret - block.position();
    return offset >= 0 && offset < block.length() ? offset : -1;
}

bool LazyTextLayout::reachCaret(int position, double beyond)
{
    m_caret = position;
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return false;
    syncIfStale();
    const int offset = position - block.position();
    const QTextLayout* held = block.layout();
    const bool stoppedShort = held && held->lineCount() > 0 && lineEnd(*held) < offset;
    const QTextLayout* layout = placedLayout(block);
    if (!layout)
        return false;
    const QTextLine line = layout->lineForTextPosition(offset);
    const double y = line.isValid() ? line.y() : 0;
    placedLayout(block, { offset, y + beyond });
    // Moving up from this paragraph reaches the last line of the one above.
    const double top = blockTop(block.blockNumber());
    for (QTextBlock above = block.previous(); above.isValid(); above = above.previous()) {
        if (top - blockBottom(above.blockNumber()) > beyond)
            break;
        if (above.length() > longParagraph())
            placedLayout(above, { above.length(), 0 });
    }
    return stoppedShort;
}

void LazyTextLayout::setOutsideHeights(double above, double below)
{
    if (above == m_above && below == m_below)
        return;
    const double from = frameTop() + qMin(above, m_above);
    m_above = above;
    m_below = below;
    noteMoved(from);
}

double LazyTextLayout::layoutAroundTop(const std::function<double()>& top, double page)
{
    // Laying out may move the top again by what the paragraphs above it measured: a few rounds
    // find every height around the final place known.
    double y = top();
    for (int round = 0; round < 4; ++round) {
        layoutArea(QRectF(0, y - page, 1, 2 * page));
        const double now = top();
        if (now == y)
            break;
        y = now;
    }
    report();
    return y;
}

QTextLayout* LazyTextLayout::laidOutAt(qreal y, QTextBlock& block) const
{
    int index = blockAt(y);
    block = document()->findBlockByNumber(index);
    QTextLayout* layout = ensureLaidOut(block, index, { 0, y - blockTop(index) });
    for (int tries = 0; tries < 4; ++tries) {
        const int again = blockAt(y);
        if (again == index)
            break;
        index = again;
        block = document()->findBlockByNumber(index);
        layout = ensureLaidOut(block, index, { 0, y - blockTop(index) });
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
    QTextBlock lastBlock = doc->findBlock(end);
    // A change that ends where a paragraph starts, and made no paragraph, leaves that one's
    // characters as they were (a key and the restyling of its line end at the line's break).
    if (n == slotCount && length > 0 && lastBlock.isValid() && lastBlock.position() == end
        && lastBlock.blockNumber() > changed.first)
        lastBlock = lastBlock.previous();
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

void LazyTextLayout::keepShaping(QTextLayout& layout)
{
    layout.setCacheEnabled(true);
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

bool LazyTextLayout::laysOutAtOnce(int first, int last) const
{
    // Paragraphs and characters: a long line held in parts is many paragraphs of some thousand
    // characters each.
    constexpr int kParagraphs = 24;
    constexpr int kUnits = 16 * 1024;
    if (last <= first)
        return true;
    if (last - first >= kParagraphs)
        return false;
    const QTextBlock from = document()->findBlockByNumber(first);
    const QTextBlock to = document()->findBlockByNumber(last);
    return !from.isValid() || !to.isValid()
        || to.position() + to.length() - from.position() <= kUnits;
}

} // namespace quillon
