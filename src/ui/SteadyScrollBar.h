#pragma once

#include <QRect>
#include <QScrollBar>

namespace quillon {

// A scroll bar that paints again only when what it shows changes: its handle's place or size,
// or whether it stands at either end (which some styles show on the arrows). A text pane's
// range grows with every line typed, mostly without moving the handle by a pixel, and a whole
// scroll bar painted as tall as the window is among the dearest parts of a key's repaint.
class SteadyScrollBar : public QScrollBar
{
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Shown
    {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;

    Shown m_shown;
    bool m_painted = false;
};

} // namespace quillon
