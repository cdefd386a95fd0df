#include "agent/ui/WrappedTextLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

QTextOption wrapOption(Qt::LayoutDirection direction)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    option.setTextDirection(direction);
    return option;
}

// Lays out one piece; calls lineDone for each line with its y offset inside the piece.
template <typename LineDone>
qreal layOutPiece(
    QTextLayout& layout, qreal width, Qt::LayoutDirection direction, LineDone&& lineDone)
{
    layout.setTextOption(wrapOption(direction));
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
    m_lineHeight = layOutPiece(probe, 1000, Qt::LayoutDirectionAuto, [](const QTextLine&) {});
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
        piece.top = top;
        // A piece that goes on a line cut earlier keeps that line's direction.
        if (from > 0 && text.at(from - 1) != QLatin1Char('\n') && !m_pieces.isEmpty())
            piece.direction = m_pieces.constLast().direction;
        layOutPieceAt(piece, text);
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

void WrappedTextLayout::layOutPieceAt(Piece& piece, const QString& text) const
{
    const qsizetype from = piece.start;
    const qsizetype end = text.size();
    for (qsizetype window = maxPieceLength;; window *= 2) {
        const qsizetype limit = std::min<qsizetype>(end, from + window);
        qsizetype stop = from;
        while (stop < limit && text.at(stop) != QLatin1Char('\n'))
            ++stop;
        if (stop < limit) { // a line break: it belongs to this piece
            piece.length = stop - from + 1;
            piece.closed = true;
            measure(piece, text);
            return;
        }
        if (stop == end) { // the text so far ends on this line: laid out again as it grows
            piece.length = stop - from;
            piece.closed = false;
            measure(piece, text);
            return;
        }
        if (cutBeforeLastLine(piece, text, stop))
            return;
    }
}

bool WrappedTextLayout::cutBeforeLastLine(Piece& piece, const QString& text, qsizetype stop) const
{
    // The line goes on past stop. Lay out up to a place where a line may end (a word's start, or
    // at least a character's start), so the window holds whole words and whole characters; every
    // wrapped line but the last is then the same as in the whole line, and the piece ends where
    // the last one starts. The next piece begins that line again with the text that follows.
    const qsizetype from = piece.start;
    const QStringView window = QStringView(text).mid(from, stop - from + 1);
    qsizetype cut = -1;
    for (auto type : { QTextBoundaryFinder::Line, QTextBoundaryFinder::Grapheme }) {
        QTextBoundaryFinder finder(type, window.data(), int(window.size()));
        finder.setPosition(int(window.size() - 1));
        const qsizetype at
            = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
        if (at > 0) {
            cut = from + at;
            break;
        }
    }
    if (cut < 0)
        return false;
    QTextLayout layout(text.mid(from, cut - from), m_font);
    layOutPiece(layout, m_width, piece.direction, [](const QTextLine&) {});
    if (layout.lineCount() < 2) // all of it fits on one line: try a longer window
        return false;
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    qreal widest = 0;
    for (int i = 0; i + 1 < layout.lineCount(); ++i)
        widest = std::max(widest, layout.lineAt(i).naturalTextWidth());
    piece.length = last.textStart();
    piece.closed = true;
    piece.height = last.y();
    piece.widest = std::min(std::ceil(widest), m_width);
    // The pieces after it go on with the direction the line's start gave it.
    if (piece.direction == Qt::LayoutDirectionAuto)
        piece.direction = QStringView(text).mid(from, cut - from).isRightToLeft() ? Qt::RightToLeft
                                                                                  : Qt::LeftToRight;
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
    piece.height = layOutPiece(layout, m_width, piece.direction,
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
        layOutPiece(layout, m_width, it->direction, [](const QTextLine&) {});
        layout.draw(&painter, origin + QPointF(0, it->top));
    }
    painter.restore();
}

} // namespace quillon
