#pragma once

#include <QDeadlineTimer>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;

namespace quillon {

// The wrapped-line geometry of a plain text that may be megabytes long and grows at its end, as an
// agent's answer does. Only the height and the widest line of each piece are kept; pieces are laid
// out again when painted, and only those in view. Text is never interpreted: no rich text, no
// links. The text itself is not held here (a copy would make every append of its owner copy it);
// each call is given the current text.
class WrappedTextLayout
{
public:
    // Pieces end at a line break or, within a longer line, where one of its wrapped lines starts,
    // after about this many UTF-16 units; so growing one huge line costs no more than re-laying
    // out its last piece, and the line still wraps as a whole.
    static constexpr int maxPieceLength = 2048;

    void setFont(const QFont& font);
    void setWidth(qreal width);
    qreal width() const { return m_width; }

    // Brings the layout up to text. When text only extends the text of the previous update, only
    // its last piece and what follows are laid out; otherwise everything is. With a deadline, stops
    // at the first piece boundary after it: length() then tells how far it got, and the next
    // update (with onlyAppended) goes on from there. Returns true when all of text is laid out.
    bool update(const QString& text, bool onlyAppended,
        const QDeadlineTimer& deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    void clear();

    qreal height() const;
    // The width of the widest line (at most width()).
    qreal naturalWidth() const { return m_naturalWidth; }
    qsizetype length() const { return m_length; }
    int pieceCount() const { return int(m_pieces.size()); }

    // Paints text at origin, laying out only the pieces that meet clip.
    void paint(QPainter& painter, const QPointF& origin, const QRectF& clip, const QString& text,
        const QColor& color) const;

private:
    struct Piece
    {
        qsizetype start = 0;
        qsizetype length = 0;
        qreal top = 0;
        qreal height = 0;
        qreal widest = 0;
        bool closed = false; // ends with its line break or where a wrapped line starts
        // Auto at a line's start; a piece that goes on a longer line keeps its direction.
        Qt::LayoutDirection direction = Qt::LayoutDirectionAuto;
    };
    bool layOutFrom(const QString& text, qsizetype from, const QDeadlineTimer& deadline);
    // Sets the piece's length and geometry from its start.
    void layOutPieceAt(Piece& piece, const QString& text) const;
    // For a line that goes on past stop: ends the piece where its last wrapped line before stop
    // starts. False when that cannot be told within this window.
    bool cutBeforeLastLine(Piece& piece, const QString& text, qsizetype stop) const;
    void measure(Piece& piece, const QString& text) const;

    QFont m_font;
    qreal m_width = 200;
    qreal m_lineHeight = 0;
    QVector<Piece> m_pieces;
    qsizetype m_length = 0;
    qreal m_naturalWidth = 0;
};

} // namespace quillon
