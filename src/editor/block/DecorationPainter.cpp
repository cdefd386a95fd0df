#include "editor/block/DecorationPainter.h"

#include "editor/block/BlockDecorations.h"
#include "editor/block/BlockDocumentLayout.h"
#include "markdown/MarkdownHighlighter.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>

namespace quillon {

namespace {

BlockDecorations* decorationsOf(const QTextBlock& block)
{
    return static_cast<BlockDecorations*>(block.userData());
}

// The block's lines in document coordinates: top of the first line to the bottom of the last.
QRectF linesRect(const QTextBlock& block)
{
    const QTextLayout* layout = block.layout();
    if (!layout || layout->lineCount() == 0)
        return {};
    const QPointF origin = layout->position();
    const QTextLine first = layout->lineAt(0);
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    return QRectF(origin.x(), origin.y() + first.y(), layout->boundingRect().width(),
        last.y() + last.height() - first.y());
}

void drawCodeBox(QPainter& painter, const QRectF& lines, const CodeBlockDecoration& value,
    const DecorationPainter::Options& options)
{
    using M = MarkdownHighlighter::CodeBlockMetrics;
    const QRectF box(options.columnLeft, lines.top() - M::padTop, options.columnWidth,
        lines.height() + M::padTop + M::padBottom);
    painter.save();
    painter.setPen(Qt::NoPen);
    const qreal w = M::borderWidth;
    if (value.fill.alpha() == 255) {
        // The border lies inside the box, over its fill: the box is filled with the border as
        // it shows there, then its inside with the fill. Stroking the outline costs many times
        // these two fills, and a line break paints every box on the screen again.
        const qreal a = value.border.alphaF();
        const auto over = [a](float border, float fill) { return border * a + fill * (1 - a); };
        painter.setBrush(QColor::fromRgbF(over(value.border.redF(), value.fill.redF()),
            over(value.border.greenF(), value.fill.greenF()),
            over(value.border.blueF(), value.fill.blueF())));
        painter.drawRoundedRect(box, M::cornerRadius, M::cornerRadius);
        painter.setBrush(value.fill);
        painter.drawRoundedRect(
            box.adjusted(w, w, -w, -w), M::cornerRadius - w, M::cornerRadius - w);
    } else {
        painter.setBrush(value.fill);
        painter.drawRoundedRect(box, M::cornerRadius, M::cornerRadius);
        const qreal half = w / 2;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(value.border, w));
        painter.drawRoundedRect(
            box.adjusted(half, half, -half, -half), M::cornerRadius - half, M::cornerRadius - half);
    }
    painter.restore();
}

void drawCheckbox(QPainter& painter, const QRectF& square, bool checked, const QColor& tint)
{
    painter.save();
    QPainterPath box;
    box.addRoundedRect(square.adjusted(0.65, 0.65, -0.65, -0.65), 3, 3);
    if (checked) {
        painter.fillPath(box, tint);
        const qreal w = square.width();
        const qreal h = square.height();
        const qreal x0 = square.left();
        const qreal y0 = square.top();
        QPainterPath mark;
        mark.moveTo(x0 + 0.26 * w, y0 + 0.52 * h);
        mark.lineTo(x0 + 0.44 * w, y0 + 0.70 * h);
        mark.lineTo(x0 + 0.75 * w, y0 + 0.32 * h);
        // The mark stands out from the box: dark on the light box of the dark appearance.
        const QColor markColor = tint.lightness() > 127 ? QColor(Qt::black) : QColor(Qt::white);
        painter.setPen(
            QPen(markColor, qMax(0.13 * w, 1.5), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(mark);
    } else {
        painter.setPen(QPen(tint, 1.3));
        painter.drawPath(box);
    }
    painter.restore();
}

// The lines of a laid-out paragraph that reach [top, bottom] (document coordinates), as
// [first, last], and the text they hold; empty when none does. A long paragraph has thousands of
// lines, so they are found by halving rather than walked.
struct LineSpan
{
    int first = 0;
    int last = -1;
    int textStart = 0;
    int textEnd = 0;
};

LineSpan linesReaching(const QTextLayout& layout, qreal top, qreal bottom)
{
    const qreal originY = layout.position().y();
    const int count = layout.lineCount();
    // The first line whose bottom is below y.
    auto firstBelow = [&](qreal y) {
        int low = 0;
        int high = count;
        while (low < high) {
            const int mid = (low + high) / 2;
            const QTextLine line = layout.lineAt(mid);
            if (originY + line.y() + line.height() < y)
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    };
    LineSpan span;
    span.first = firstBelow(top);
    span.last = qMin(count - 1, firstBelow(bottom));
    if (span.first > span.last)
        return span;
    span.textStart = layout.lineAt(span.first).textStart();
    const QTextLine last = layout.lineAt(span.last);
    span.textEnd = last.textStart() + last.textLength();
    return span;
}

void drawInlineCode(QPainter& painter, const QTextBlock& block, const BlockDecorations& decorations,
    int span, qreal fontSize, const LineSpan& shown)
{
    const BlockDecorations::InlineCode& code = decorations.inlineCode[span];
    const int end = code.start + code.length;
    if (shown.first > shown.last || end <= shown.textStart || code.start >= shown.textEnd)
        return;
    const QTextLayout* layout = block.layout();
    const QPointF origin = layout->position();
    const QFontMetricsF metrics(MarkdownHighlighter::monospacedFont(fontSize - 1));
    for (int i = shown.first; i <= shown.last; ++i) {
        const QTextLine line = layout->lineAt(i);
        const int lineStart = line.textStart();
        const int lineEnd = lineStart + line.textLength();
        const int from = qMax(code.start, lineStart);
        const int to = qMin(end, lineEnd);
        if (from >= to)
            continue;
        // Kept only while the paragraph's lines are those they were found on.
        BlockDecorations::CodeExtent extent;
        const quint64 key = (quint64(quint32(span)) << 32) | quint32(i);
        const auto found = decorations.codeExtents.constFind(key);
        if (found != decorations.codeExtents.constEnd() && found->from == from && found->to == to) {
            extent = *found;
        } else {
            extent = { from, to, line.cursorToX(from), line.cursorToX(to) };
            decorations.codeExtents.insert(key, extent);
        }
        const qreal startX = extent.startX;
        const qreal endX = extent.endX;
        if (endX - startX <= 0)
            continue;
        const qreal baseline = origin.y() + line.y() + line.ascent();
        const QRectF rect(origin.x() + startX - 3.5, baseline - metrics.ascent() - 2,
            endX - startX + 7, metrics.ascent() + metrics.descent() + 4);
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(code.color);
        painter.drawRoundedRect(rect, 4, 4);
        painter.restore();
    }
}

} // namespace

qreal DecorationPainter::markerCenterY(const QTextDocument& document, int blockNumber,
    int markerStart, int markerLength, qreal fontSize)
{
    const QTextBlock block = document.findBlockByNumber(blockNumber);
    const QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
    if (!layout || layout->lineCount() == 0)
        return 0;
    const auto* decorations = decorationsOf(block);
    const QString text = block.text();
    const QTextLine markerLine = layout->lineForTextPosition(markerStart).isValid()
        ? layout->lineForTextPosition(markerStart)
        : layout->lineAt(0);
    // The first visible character after the marker on the marker's line: centre on the middle
    // of its capital letters.
    const int lineEnd = markerLine.textStart() + markerLine.textLength();
    for (int i = markerStart + markerLength; i < qMin<int>(lineEnd, text.size()); ++i) {
        if (decorations && decorations->isCollapsed(i))
            continue;
        QFont font = MarkdownHighlighter::systemFont(fontSize);
        if (decorations)
            for (const auto& range : layout->formats())
                if (i >= range.start && i < range.start + range.length
                    && range.format.hasProperty(QTextFormat::FontPixelSize))
                    font = range.format.font();
        const QFontMetricsF metrics(font);
        return layout->position().y() + markerLine.y() + markerLine.ascent()
            - metrics.capHeight() / 2;
    }
    const QFontMetricsF metrics(
        MarkdownHighlighter::systemFont(MarkdownHighlighter::defaultFontSize));
    return layout->position().y() + markerLine.y() + metrics.ascent() - metrics.capHeight() / 2;
}

void DecorationPainter::paint(
    QPainter& painter, const QTextDocument& document, const QRectF& exposed, const Options& options)
{
    auto* layout = document.documentLayout();
    if (!layout)
        return;
    // Inline code is found again on a paragraph's lines only once they are made anew, which
    // the block layout tells; without it, at every paint.
    const auto* blockLayout = qobject_cast<const BlockDocumentLayout*>(layout);
    // The first block whose rectangle reaches the exposed area; code boxes may begin above it.
    QTextBlock block = document.begin();
    {
        const int hit
            = layout->hitTest(QPointF(options.columnLeft + 1, exposed.top()), Qt::FuzzyHit);
        if (hit >= 0)
            block = document.findBlock(hit);
        while (block.isValid() && block.previous().isValid()) {
            const auto* previous = decorationsOf(block.previous());
            if (!previous || !previous->codeBlock)
                break;
            block = block.previous();
        }
        if (block.previous().isValid())
            block = block.previous();
    }
    const QColor tint = QColor::fromRgbF(options.isDarkMode ? 0.9 : 0.1,
        options.isDarkMode ? 0.9 : 0.1, options.isDarkMode ? 0.9 : 0.1);
    for (; block.isValid(); block = block.next()) {
        const QRectF bounds = layout->blockBoundingRect(block);
        const auto* decorations = decorationsOf(block);
        if (!decorations || !block.layout() || block.layout()->lineCount() == 0) {
            if (bounds.top() > exposed.bottom())
                break;
            continue;
        }
        if (decorations->codeBlock) {
            // One box per run of code paragraphs; drawn when its first paragraph is reached.
            const auto* previous = decorationsOf(block.previous());
            if (!previous || previous->codeBlock != decorations->codeBlock) {
                // Its end, or its first paragraph below the exposed area: the rest is unseen.
                QTextBlock last = block;
                while (last.next().isValid()) {
                    const auto* next = decorationsOf(last.next());
                    if (!next || next->codeBlock != decorations->codeBlock)
                        break;
                    last = last.next();
                    if (layout->blockBoundingRect(last).top() > exposed.bottom())
                        break;
                }
                QRectF lines = linesRect(block).united(linesRect(last));
                if (lines.bottom() + 10 >= exposed.top() && lines.top() - 10 <= exposed.bottom())
                    drawCodeBox(painter, lines, *decorations->codeBlock, options);
            }
        }
        if (bounds.top() > exposed.bottom())
            break;
        if (bounds.bottom() < exposed.top())
            continue;
        for (const auto& marker : decorations->markers) {
            const qreal y = markerCenterY(
                document, block.blockNumber(), marker.start, marker.length, options.fontSize);
            const qreal x = options.columnLeft + marker.centerX;
            if (marker.isCheckbox) {
                const qreal side = MarkdownHighlighter::ListMetrics::checkboxSize;
                drawCheckbox(
                    painter, QRectF(x - side / 2, y - side / 2, side, side), marker.checked, tint);
            } else {
                painter.save();
                painter.setPen(Qt::NoPen);
                painter.setBrush(tint);
                painter.drawEllipse(QPointF(x, y), 2.75, 2.75);
                painter.restore();
            }
        }
        if (decorations->quoteBar) {
            const QRectF lines = linesRect(block);
            painter.save();
            painter.setPen(Qt::NoPen);
            painter.setBrush(*decorations->quoteBar);
            painter.drawRoundedRect(
                QRectF(options.columnLeft + 10, lines.top(), 3.5, lines.height()), 1.75, 1.75);
            painter.restore();
        }
        if (!decorations->inlineCode.isEmpty()) {
            const LineSpan shown
                = linesReaching(*block.layout(), exposed.top() - 10, exposed.bottom() + 10);
            const quint32 stamp = blockLayout ? blockLayout->linesStamp(block) : 0;
            if (stamp != decorations->codeExtentsStamp || stamp == 0) {
                decorations->codeExtents.clear();
                decorations->codeExtentsStamp = stamp;
            }
            for (int span = 0; span < decorations->inlineCode.size(); ++span)
                drawInlineCode(painter, block, *decorations, span, options.fontSize, shown);
        }
    }
}

} // namespace quillon
