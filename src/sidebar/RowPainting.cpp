#include "sidebar/RowPainting.h"

#include "ui/SymbolIcons.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QListView>
#include <QPainter>

namespace quillon::RowPainting {

QFont font(qreal pixelSize, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    return f;
}

QFont monospaceFont(qreal pixelSize)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(qRound(pixelSize));
    return f;
}

QPixmap symbol(const QString& name, int size, const QColor& color, qreal devicePixelRatio)
{
    static QHash<QString, QPixmap> made;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(name)
                            .arg(size)
                            .arg(color.rgba(), 0, 16)
                            .arg(devicePixelRatio);
    auto it = made.find(key);
    if (it == made.end())
        it = made.insert(key, SymbolIcons::pixmap(name, size, color, devicePixelRatio));
    return *it;
}

void drawSymbol(QPainter& painter, const QString& name, int size, const QColor& color, int x,
    int frameWidth, const QRect& row)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = symbol(name, size, color, dpr);
    const int left = x + (frameWidth - size) / 2;
    const int top = row.top() + (row.height() - size) / 2;
    painter.drawPixmap(QRect(left, top, size, size), pixmap);
}

int drawLine(QPainter& painter, const QString& text, const QFont& font, const QColor& color, int x,
    int y, int maxWidth, int height)
{
    if (maxWidth <= 0)
        return x;
    const QFontMetrics metrics(font);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, maxWidth);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRect(x, y, maxWidth, height), Qt::AlignLeft | Qt::AlignVCenter, shown);
    return x + metrics.horizontalAdvance(shown);
}

void setUpHoverList(QListView& list)
{
    list.setFrameShape(QFrame::NoFrame);
    list.setSelectionMode(QAbstractItemView::NoSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list.setMouseTracking(true);
    list.viewport()->setAttribute(Qt::WA_Hover);
    list.viewport()->setAutoFillBackground(false);
    list.setFocusPolicy(Qt::NoFocus);
}

} // namespace quillon::RowPainting
