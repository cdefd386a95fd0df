#pragma once

#include <QWidget>

namespace quillon {

// A one-pixel rule between parts of a sheet, in the divider colour of the appearance its palette
// shows. Passive: unlike Divider it cannot be dragged.
class DividerLine : public QWidget
{
    Q_OBJECT
public:
    explicit DividerLine(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

    Qt::Orientation orientation() const { return m_orientation; }
    QSize sizeHint() const override { return QSize(1, 1); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation;
};

} // namespace quillon
