#include "editor/chrome/ChromeGlyph.h"

#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace {

// The outline of a stroke, to cut out of a filled shape: whatever lies behind shows through.
QPainterPath cutOut(const QPainterPath& stroke, const QPen& pen)
{
    QPainterPathStroker stroker(pen);
    return stroker.createStroke(stroke);
}

} // namespace

ChromeGlyph::ChromeGlyph(Shape shape, int size, QWidget* parent)
    : QWidget(parent)
    , m_shape(shape)
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ChromeGlyph::setShape(Shape shape)
{
    m_shape = shape;
    update();
}

void ChromeGlyph::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void ChromeGlyph::setWeight(qreal weight)
{
    m_weight = weight;
    update();
}

void ChromeGlyph::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, m_shape, QRectF(rect()), m_color, m_weight);
}

void ChromeGlyph::paint(
    QPainter& painter, Shape shape, const QRectF& box, const QColor& color, qreal weight)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(box.width(), box.height());
    const QPointF c = box.center();
    QPen pen(color, qMax(1.0, s * 0.12 * weight), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto at = [&](qreal x, qreal y) { return QPointF(c.x() + x * s, c.y() + y * s); };
    switch (shape) {
    case Shape::CheckCircle: {
        QPainterPath disc;
        disc.addEllipse(c, s * 0.46, s * 0.46);
        QPainterPath check(at(-0.2, 0.0));
        check.lineTo(at(-0.05, 0.16));
        check.lineTo(at(0.22, -0.14));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(disc.subtracted(cutOut(check, pen)));
        break;
    }
    case Shape::WarningTriangle: {
        QPainterPath triangle;
        triangle.moveTo(at(0, -0.44));
        triangle.lineTo(at(0.48, 0.4));
        triangle.lineTo(at(-0.48, 0.4));
        triangle.closeSubpath();
        QPainterPath mark(at(0, -0.16));
        mark.lineTo(at(0, 0.08));
        mark.moveTo(at(0, 0.25));
        mark.lineTo(at(0, 0.251));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(triangle.subtracted(cutOut(mark, pen)));
        break;
    }
    case Shape::Magnifier:
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at(-0.08, -0.08), s * 0.27, s * 0.27);
        painter.drawLine(at(0.12, 0.12), at(0.38, 0.38));
        break;
    case Shape::ChevronUp:
        painter.setPen(pen);
        painter.drawPolyline(QList<QPointF> { at(-0.26, 0.13), at(0, -0.13), at(0.26, 0.13) });
        break;
    case Shape::ChevronDown:
        painter.setPen(pen);
        painter.drawPolyline(QList<QPointF> { at(-0.26, -0.13), at(0, 0.13), at(0.26, -0.13) });
        break;
    case Shape::Cross:
        painter.setPen(pen);
        painter.drawLine(at(-0.2, -0.2), at(0.2, 0.2));
        painter.drawLine(at(-0.2, 0.2), at(0.2, -0.2));
        break;
    }
    painter.restore();
}

} // namespace quillon
