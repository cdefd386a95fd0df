#pragma once

#include <QPointer>
#include <QWidget>

namespace quillon {

// A one-pixel line between two panes that the user drags. It takes presses a few pixels to either
// side of the line (an invisible grip laid over its neighbours), shows the resize cursor, and
// draws the hover colour while the pointer is over it or a drag is under way. Subclasses turn the
// horizontal drag distance into their value.
class Divider : public QWidget
{
    Q_OBJECT
public:
    // Pixels on either side of the line that still start a drag.
    static constexpr int kGripMargin = 5;

    explicit Divider(QWidget* parent = nullptr);
    ~Divider() override;

    bool isDarkMode() const { return m_isDarkMode; }
    void setDarkMode(bool dark);
    bool isHovering() const { return m_isHovering; }
    bool isDragging() const { return m_isDragging; }
    // The widget that receives the presses (tests drive it with real mouse events).
    QWidget* grip() const;

    QSize sizeHint() const override { return QSize(1, 1); }

protected:
    virtual void dragStarted() = 0;
    // `dx`: pointer x minus its x at the press, in pixels.
    virtual void dragMoved(double dx) = 0;

    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class DividerGrip;
    void placeGrip();
    void setHovering(bool on);
    void press(double globalX);
    void drag(double globalX);
    void release();

    QPointer<QWidget> m_grip;
    bool m_isDarkMode = false;
    bool m_isHovering = false;
    bool m_isDragging = false;
    double m_initialMouseX = 0;
};

// Between the source pane and the block editor: the share of its parent's width given to the
// left pane, within 0.2 to 0.8.
class ResizableDivider : public Divider
{
    Q_OBJECT
public:
    explicit ResizableDivider(QWidget* parent = nullptr);

    double position() const { return m_position; }
    void setPosition(double fraction);

Q_SIGNALS:
    // A drag asks for this fraction; the owner stores it and calls setPosition.
    void positionRequested(double fraction);

protected:
    void dragStarted() override;
    void dragMoved(double dx) override;

private:
    double m_position = 0.5;
    double m_initialPosition = 0.5;
};

// On the edge of a side panel: the panel's width in pixels, within the limits given.
class WidthResizableDivider : public Divider
{
    Q_OBJECT
public:
    WidthResizableDivider(
        double minWidth, double maxWidth, bool isLeftEdge, QWidget* parent = nullptr);

    double panelWidth() const { return m_width; }
    void setPanelWidth(double width);
    double minWidth() const { return m_minWidth; }
    double maxWidth() const { return m_maxWidth; }

Q_SIGNALS:
    void widthRequested(double width);

protected:
    void dragStarted() override;
    void dragMoved(double dx) override;

private:
    double m_minWidth;
    double m_maxWidth;
    bool m_isLeftEdge;
    double m_width = 0;
    double m_initialWidth = 0;
};

} // namespace quillon
