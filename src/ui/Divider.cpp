#include "ui/Divider.h"

#include "ui/AppColors.h"
#include "ui/DividerMath.h"
#include "ui/PointerHover.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillon {

// Transparent, laid over the line and its neighbours' edges; forwards what the pointer does.
class DividerGrip : public QWidget
{
public:
    DividerGrip(Divider* line, QWidget* parent)
        : QWidget(parent)
        , m_line(line)
    {
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TranslucentBackground);
        setCursor(Qt::SplitHCursor);
        setMouseTracking(true);
        // Shown with its line, where its line is (placeGrip): a line hidden before its parent is
        // first shown gets no hide event, and a grip shown with the parent instead would lie at
        // the parent's top left, taking the clicks meant for what is there.
        hide();
    }

protected:
    void enterEvent(QEnterEvent*) override { m_line->setHovering(true); }
    void leaveEvent(QEvent*) override { m_line->setHovering(false); }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_line->press(event->globalPosition().x());
    }
    void mouseMoveEvent(QMouseEvent* event) override { m_line->drag(event->globalPosition().x()); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_line->release();
    }

private:
    Divider* m_line;
};

Divider::Divider(QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    if (parent)
        m_grip = new DividerGrip(this, parent);
}

Divider::~Divider()
{
    delete m_grip.data();
}

QWidget* Divider::grip() const
{
    return m_grip;
}

void Divider::setDarkMode(bool dark)
{
    if (m_isDarkMode == dark)
        return;
    m_isDarkMode = dark;
    update();
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool active = m_isHovering || m_isDragging;
    p.fillRect(rect(),
        active ? AppColors::panelDividerHover(m_isDarkMode)
               : AppColors::panelDivider(m_isDarkMode));
}

void Divider::placeGrip()
{
    if (!m_grip)
        return;
    m_grip->setGeometry(geometry().adjusted(-kGripMargin, 0, kGripMargin, 0));
    m_grip->setVisible(isVisible());
    m_grip->raise();
    // Moved away from (or under) a pointer at rest: no enter or leave comes until it moves.
    if (m_grip->isVisible() && pointerIsOver(*m_grip) != m_isHovering)
        setHovering(!m_isHovering);
}

void Divider::moveEvent(QMoveEvent*)
{
    placeGrip();
}

void Divider::resizeEvent(QResizeEvent*)
{
    placeGrip();
}

void Divider::showEvent(QShowEvent*)
{
    placeGrip();
}

void Divider::hideEvent(QHideEvent*)
{
    if (m_grip)
        m_grip->hide();
}

bool Divider::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        delete m_grip.data();
        if (parentWidget())
            m_grip = new DividerGrip(this, parentWidget());
        placeGrip();
    } else if (event->type() == QEvent::ZOrderChange) {
        if (m_grip)
            m_grip->raise();
    }
    return QWidget::event(event);
}

void Divider::setHovering(bool on)
{
    m_isHovering = on;
    update();
}

void Divider::press(double globalX)
{
    m_isDragging = true;
    m_initialMouseX = globalX;
    dragStarted();
    update();
}

void Divider::drag(double globalX)
{
    if (!m_isDragging)
        return;
    dragMoved(globalX - m_initialMouseX);
}

void Divider::release()
{
    m_isDragging = false;
    update();
}

ResizableDivider::ResizableDivider(QWidget* parent)
    : Divider(parent)
{
}

void ResizableDivider::setPosition(double fraction)
{
    m_position = fraction;
}

void ResizableDivider::dragStarted()
{
    m_initialPosition = m_position;
}

void ResizableDivider::dragMoved(double dx)
{
    // Against the width the fraction divides, so the line stays under the pointer.
    const double total = parentWidget() ? parentWidget()->width() : 0;
    Q_EMIT positionRequested(DividerMath::splitFraction(m_initialPosition, dx, total));
}

WidthResizableDivider::WidthResizableDivider(
    double minWidth, double maxWidth, bool isLeftEdge, QWidget* parent)
    : Divider(parent)
    , m_minWidth(minWidth)
    , m_maxWidth(maxWidth)
    , m_isLeftEdge(isLeftEdge)
{
}

void WidthResizableDivider::setPanelWidth(double width)
{
    m_width = width;
}

void WidthResizableDivider::dragStarted()
{
    m_initialWidth = m_width;
}

void WidthResizableDivider::dragMoved(double dx)
{
    Q_EMIT widthRequested(
        DividerMath::panelWidth(m_initialWidth, dx, m_minWidth, m_maxWidth, m_isLeftEdge));
}

} // namespace quillon
