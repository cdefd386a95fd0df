#include "editor/block/BlockDocumentLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <cmath>

namespace quillon {

namespace {

// Beyond every coordinate the view can show.
constexpr qreal kFar = 1e9;

} // namespace

int BlockDocumentLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const
{
    if (!m_frame.valid || m_slots.empty())
        return accuracy == Qt::ExactHit ? -1 : 0;
    syncIfStale();
    QTextBlock block;
    QTextLayout* layout = laidOutAt(point.y(), block);
    const int index = block.blockNumber();
    QRectF text = layout->boundingRect().translated(layout->position());
    if (index > 0 && point.y() <= text.top()) {
        // The end of the paragraph above wins a point on its last line's bottom edge.
        const QTextBlock previous = block.previous();
        QTextLayout* above
            = ensureLaidOut(previous, index - 1, { 0, point.y() - blockTop(index - 1) });
        const QRectF aboveText = above->boundingRect().translated(above->position());
        if (point.y() >= aboveText.top() && point.y() <= aboveText.bottom()) {
            block = previous;
            layout = above;
            text = aboveText;
        }
    }
    int position = block.position();
    bool exact = false;
    if (point.y() < text.top()) {
        // Above the paragraph's lines: its start, as for the gap above it.
    } else if (point.y() > text.bottom()) {
        position += block.length();
    } else {
        position += offsetAt(*layout, point, accuracy, &exact);
    }
    if (accuracy == Qt::ExactHit && !exact)
        return -1;
    int lastPosition = document()->rootFrame()->lastPosition();
    if (!layout->preeditAreaText().isEmpty())
        lastPosition += int(layout->preeditAreaText().size());
    return qBound(0, position, lastPosition);
}

QRectF BlockDocumentLayout::clipColumn() const
{
    const QTextFrameFormat format = document()->rootFrame()->frameFormat();
    return QRectF(0, 0, frameWidth(), totalHeight())
        .adjusted(std::round(format.leftMargin()), 0, -std::round(format.rightMargin()), 0);
}

void BlockDocumentLayout::draw(QPainter* painter, const PaintContext& context)
{
    if (!m_frame.valid || m_slots.empty())
        return;
    syncIfStale();
    const QRectF& clip = context.clip;
    const QBrush background = document()->rootFrame()->frameFormat().background();
    if (background != Qt::NoBrush)
        painter->fillRect(
            clip.isValid() ? clip : frameBoundingRect(document()->rootFrame()), background);
    const QRectF column = clipColumn();
    const qreal top = clip.isValid() ? clip.top() : 0;
    const qreal bottom = clip.isValid() ? clip.bottom() : kFar;
    // Each selection's ends, read once rather than once per paragraph: find marks thousands.
    std::vector<SelectionSpan> spans;
    spans.reserve(size_t(context.selections.size()));
    for (const Selection& selection : context.selections) {
        const QTextCursor& cursor = selection.cursor;
        spans.push_back({ cursor.selectionStart(), cursor.selectionEnd(), cursor.position() });
    }
    int index = blockAt(top);
    QTextBlock block = document()->findBlockByNumber(index);
    for (; block.isValid(); block = block.next(), ++index) {
        if (heldTop() + prefix(index) > bottom)
            break;
        QTextLayout* layout = ensureLaidOut(block, index, { 0, bottom - blockTop(index) });
        drawBlock(painter, context, spans, block, layout, column);
    }
}

void BlockDocumentLayout::drawBlock(QPainter* painter, const PaintContext& context,
    const std::vector<SelectionSpan>& spans, const QTextBlock& block, QTextLayout* layout,
    const QRectF& column) const
{
    const QRectF rect = layout->boundingRect().translated(layout->position());
    const QRectF& clip = context.clip;
    if (!block.isVisible()
        || (clip.isValid() && (rect.bottom() < clip.top() || rect.top() > clip.bottom())))
        return;
    const QTextBlockFormat format = block.blockFormat();
    const QBrush background = format.background();
    if (background != Qt::NoBrush) {
        painter->save();
        painter->setBrushOrigin(rect.topLeft());
        painter->fillRect(rect, background);
        painter->restore();
    }

    QList<QTextLayout::FormatRange> selections;
    const int start = block.position();
    const int length = block.length();
    for (qsizetype i = 0; i < context.selections.size(); ++i) {
        const SelectionSpan& span = spans[size_t(i)];
        const QTextCharFormat& selectionFormat = context.selections[i].format;
        const int from = span.start - start;
        const int to = span.end - start;
        if (from < length && to > 0 && to > from) {
            selections.append({ from, to - from, selectionFormat });
        } else if (span.start == span.end
            && selectionFormat.hasProperty(QTextFormat::FullWidthSelection)
            && span.position >= start && span.position < start + length) {
            // A full-width selection marks the caret's whole line.
            const QTextLine line = layout->lineForTextPosition(span.position - start);
            QTextLayout::FormatRange range { line.textStart(), line.textLength(), selectionFormat };
            if (range.start + range.length == length - 1)
                ++range.length;
            selections.append(range);
        }
    }

    const QPen pen = painter->pen();
    painter->setPen(context.palette.color(QPalette::Text));
    layout->draw(painter, QPointF(), selections, clip.isValid() ? (clip & column) : column);

    int cursor = context.cursorPosition;
    if ((cursor >= start && cursor < start + length)
        || (cursor < -1 && !layout->preeditAreaText().isEmpty())) {
        cursor = cursor < -1 ? layout->preeditAreaPosition() - (cursor + 2) : cursor - start;
        bool ok = false;
        int width = property("cursorWidth").toInt(&ok);
        if (!ok)
            width = 1;
        // The view paints its own caret and asks for none here: finding where a caret of no
        // width would go means shaping the whole paragraph again.
        if (width > 0)
            layout->drawCursor(painter, QPointF(), cursor, width);
    }

    if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
        const qreal width = format.lengthProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)
                                .value(rect.width());
        painter->setPen(context.palette.color(QPalette::Dark));
        const qreal y = length == 1 ? rect.top() + rect.height() / 2 : rect.bottom();
        const qreal middle = rect.left() + rect.width() / 2;
        painter->drawLine(QLineF(middle - width / 2, y, middle + width / 2, y));
    }
    painter->setPen(pen);
}

void BlockDocumentLayout::resizeInlineObject(
    QTextInlineObject item, int posInDocument, const QTextFormat& format)
{
    const QTextCharFormat charFormat = format.toCharFormat();
    QTextObjectInterface* handler = handlerForObject(charFormat.objectType());
    if (!handler)
        return;
    const QSizeF size = handler->intrinsicSize(document(), posInDocument, format);
    item.setWidth(size.width());
    if (charFormat.verticalAlignment() == QTextCharFormat::AlignMiddle) {
        const qreal halfX = QFontMetricsF(charFormat.font()).xHeight() / 2;
        item.setAscent((size.height() + halfX) / 2);
        item.setDescent((size.height() - halfX) / 2);
    } else {
        item.setDescent(0);
        item.setAscent(size.height());
    }
}

} // namespace quillon
