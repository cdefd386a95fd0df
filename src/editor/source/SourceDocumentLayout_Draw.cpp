#include "editor/source/SourceDocumentLayout.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>

namespace quillon {

int SourceDocumentLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const
{
    if (!m_frame.valid || m_slots.empty())
        return accuracy == Qt::ExactHit ? -1 : 0;
    syncIfStale();
    QTextBlock block;
    QTextLayout* layout = laidOutAt(point.y(), block);
    bool exact = false;
    const int offset = offsetAt(*layout, point, accuracy, &exact);
    if (accuracy == Qt::ExactHit && !exact)
        return -1;
    return block.position() + offset;
}

void SourceDocumentLayout::draw(QPainter* painter, const PaintContext& context)
{
    if (!m_frame.valid || m_slots.empty())
        return;
    syncIfStale();
    // The right margin stays clear of whole-line selections, as in a plain text view.
    QRect clip = context.clip.isValid()
        ? context.clip.toAlignedRect()
        : frameBoundingRect(document()->rootFrame()).toAlignedRect();
    clip.setRight(qMin(clip.right(), int(m_frame.width - m_frame.margin)));
    painter->save();
    painter->setClipRect(clip, Qt::IntersectClip);
    painter->setPen(context.palette.text().color());
    bool ok = false;
    int cursorWidth = property("cursorWidth").toInt(&ok);
    if (!ok)
        cursorWidth = 1;
    int index = blockAt(clip.top());
    QTextBlock block = document()->findBlockByNumber(index);
    for (; block.isValid(); block = block.next(), ++index) {
        if (blockTop(index) > clip.bottom())
            break;
        QTextLayout* layout = ensureLaidOut(block, index);
        const int start = block.position();
        const int length = block.length();
        const QBrush background = block.blockFormat().background();
        if (background != Qt::NoBrush) {
            const QRectF rect(0, blockTop(index), m_frame.width, m_slots[size_t(index)].height);
            painter->save();
            painter->setBrushOrigin(rect.topLeft());
            painter->fillRect(rect, background);
            painter->restore();
        }
        QList<QTextLayout::FormatRange> selections;
        for (const Selection& selection : context.selections) {
            const QTextCursor& cursor = selection.cursor;
            const int from = cursor.selectionStart() - start;
            const int to = cursor.selectionEnd() - start;
            if (from < length && to > 0 && to > from) {
                selections.append({ from, to - from, selection.format });
            } else if (!cursor.hasSelection()
                && selection.format.hasProperty(QTextFormat::FullWidthSelection)
                && block.contains(cursor.position())) {
                // A whole-line selection needs no selected text: the caret names the line.
                const QTextLine line = layout->lineForTextPosition(cursor.position() - start);
                QTextLayout::FormatRange range { line.textStart(), line.textLength(),
                    selection.format };
                if (range.start + range.length == length - 1)
                    ++range.length; // with the paragraph's end
                selections.append(range);
            }
        }
        layout->draw(painter, QPointF(), selections, clip);
        int cursor = context.cursorPosition;
        if ((cursor >= start && cursor < start + length)
            || (cursor < -1 && !layout->preeditAreaText().isEmpty())) {
            cursor = cursor < -1 ? layout->preeditAreaPosition() - (cursor + 2) : cursor - start;
            layout->drawCursor(painter, QPointF(), cursor, cursorWidth);
        }
    }
    painter->restore();
}

} // namespace quillon
