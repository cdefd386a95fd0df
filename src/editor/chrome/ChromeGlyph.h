#pragma once

#include <QColor>
#include <QWidget>

namespace quillon {

// A small symbol drawn with the painter in one colour, at any size, so that it looks the same
// whatever icon theme or fonts are installed.
class ChromeGlyph : public QWidget
{
    Q_OBJECT
public:
    enum class Shape { CheckCircle, WarningTriangle, Magnifier, ChevronUp, ChevronDown, Cross };

    ChromeGlyph(Shape shape, int size, QWidget* parent = nullptr);

    Shape shape() const { return m_shape; }
    void setShape(Shape shape);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    // Line weight relative to the glyph's size: bolder for the find bar's chevrons.
    void setWeight(qreal weight);

    // Paints a shape into a square.
    static void paint(
        QPainter& painter, Shape shape, const QRectF& box, const QColor& color, qreal weight = 1);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape m_shape;
    QColor m_color;
    qreal m_weight = 1;
};

} // namespace quillon
