#include "agent/ui/WrappedTextLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

QTextOption wrapOption()
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    return option;
}

// Lays out one piece; calls lineDone for each line with its y offset inside the piece.
template <typename LineDone>
qreal layOutPiece(QTextLayout& layout, qreal width, LineDone&& lineDone)
{
    layout.setTextOption(wrapOption());
    layout.setCacheEnabled(false);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        lineDone(line);
        y += line.height();
    }
    layout.endLayout();
    return y;
}

} // namespace

void WrappedTextLayout::setFont(const QFont& font)
{
    m_font = font;
    // An empty line is as tall as a laid-out one, which is not quite the font's own height.
    QTextLayout probe(QStringLiteral(" "), font);
    m_lineHeight = layOutPiece(probe, 1000, [](const QTextLine&) {});
    m_pieces.clear();
    m_length = 0;
}

void WrappedTextLayout::setWidth(qreal width)
{
    width = std::max<qreal>(width, 1);
    if (width == m_width)
        return;
    m_width = width;
    m_pieces.clear();
    m_length = 0;
}

void WrappedTextLayout::clear()
{
    m_pieces.clear();
    m_length = 0;
    m_naturalWidth = 0;
}

bool WrappedTextLayout::update(
    const QString& text, bool onlyAppended, const QDeadlineTimer& deadline)
{
    if (!onlyAppended || text.size() < m_length || m_pieces.isEmpty()) {
        m_pieces.clear();
        m_naturalWidth = 0;
        return layOutFrom(text, 0, deadline);
    }
    if (text.size() == m_length)
        return true;
    qsizetype from = m_length;
    if (!m_pieces.constLast().closed) {
        from = m_pieces.constLast().start;
        m_pieces.removeLast();
    }
    return layOutFrom(text, from, deadline);
}

bool WrappedTextLayout::layOutFrom(
    const QString& text, qsizetype from, const QDeadlineTimer& deadline)
{
    qreal top = m_pieces.isEmpty() ? 0 : m_pieces.constLast().top + m_pieces.constLast().height;
    const qsizetype end = text.size();
    while (from < end || (from == end && m_pieces.isEmpty())) {
        if (!m_pieces.isEmpty() && m_pieces.constLast().closed && deadline.hasExpired()) {
            m_length = from;
            return false;
        }
        Piece piece;
        piece.start = from;
        const qsizetype limit = std::min<qsizetype>(end, from + maxPieceLength);
        qsizetype stop = from;
        while (stop < limit && text.at(stop) != QLatin1Char('\n'))
            ++stop;
        if (stop < limit) { // a line break: it belongs to this piece
            piece.length = stop - from + 1;
            piece.closed = true;
        } else {
            piece.length = stop - from;
            piece.closed = stop - from == maxPieceLength;
        }
        piece.top = top;
        measure(piece, text);
        top += piece.height;
        m_naturalWidth = std::max(m_naturalWidth, piece.widest);
        m_pieces.append(piece);
        from += piece.length;
        if (piece.length == 0)
            break;
    }
    // The line break that ends nearly every agent's output opens no empty line in the bubble.
    m_length = end;
    return true;
}

void WrappedTextLayout::measure(Piece& piece, const QString& text) const
{
    QString body = text.mid(piece.start, piece.length);
    if (body.endsWith(QLatin1Char('\n')))
        body.chop(1);
    if (body.isEmpty()) {
        piece.height = m_lineHeight;
        return;
    }
    QTextLayout layout(body, m_font);
    qreal widest = 0;
    piece.height = layOutPiece(layout, m_width,
        [&widest](const QTextLine& line) { widest = std::max(widest, line.naturalTextWidth()); });
    piece.widest = std::min(std::ceil(widest), m_width);
}

qreal WrappedTextLayout::height() const
{
    if (m_pieces.isEmpty())
        return m_lineHeight;
    return m_pieces.constLast().top + m_pieces.constLast().height;
}

void WrappedTextLayout::paint(QPainter& painter, const QPointF& origin, const QRectF& clip,
    const QString& text, const QColor& color) const
{
    const qreal firstY = clip.top() - origin.y();
    const qreal lastY = clip.bottom() - origin.y();
    auto it = std::upper_bound(m_pieces.cbegin(), m_pieces.cend(), firstY,
        [](qreal y, const Piece& piece) { return y < piece.top + piece.height; });
    painter.save();
    painter.setPen(color);
    for (; it != m_pieces.cend() && it->top <= lastY; ++it) {
        QString body = text.mid(it->start, it->length);
        if (body.endsWith(QLatin1Char('\n')))
            body.chop(1);
        if (body.isEmpty())
            continue;
        QTextLayout layout(body, m_font);
        layOutPiece(layout, m_width, [](const QTextLine&) {});
        layout.draw(&painter, origin + QPointF(0, it->top));
    }
    painter.restore();
}

} // namespace quillon
