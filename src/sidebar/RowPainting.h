#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

class QListView;
class QPainter;
class QRect;

namespace quillon::RowPainting {

// The system font at a size in logical pixels (the sizes the sidebar is designed in).
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospaceFont(qreal pixelSize);

// A symbol drawn in one colour, kept once made: rows repaint the same few icons all the time.
QPixmap symbol(const QString& name, int size, const QColor& color, qreal devicePixelRatio);

// Draws the symbol centred in a box `frameWidth` wide at x, vertically centred in the row.
void drawSymbol(QPainter& painter, const QString& name, int size, const QColor& color, int x,
    int frameWidth, const QRect& row);

// Draws text on one line, elided at the right when it does not fit; returns its right edge.
int drawLine(QPainter& painter, const QString& text, const QFont& font, const QColor& color, int x,
    int y, int maxWidth, int height);

// Makes a list show rows that only react to hover and click: no frame, selection, editing, focus
// or horizontal scrolling, and a transparent viewport over the sidebar.
void setUpHoverList(QListView& list);

} // namespace quillon::RowPainting
