#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class QVariantAnimation;
class QWidget;

namespace quillon {

// Shows and hides an overlay (a child laid over the top of its parent) by moving it down from
// beyond its parent's top edge while it fades in, and back up while it fades out.
//
// The overlay itself is shown or hidden at once, as it would be without the transition: shown, it
// takes keys and clicks from the first frame; hidden, it is gone, and a still picture of it leaves
// in its place, so nothing typed or clicked reaches a bar on its way out. Turned round half-way,
// it goes back from where it is. At rest it is where setRestGeometry() put it, with no effect.
class OverlayTransition : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDurationMs = 200;

    // The transition belongs to `overlay`.
    explicit OverlayTransition(QWidget* overlay);
    ~OverlayTransition() override;

    // Where the overlay stays once it is in; on its way it is drawn above this place.
    void setRestGeometry(const QRect& rest);
    void setShown(bool shown);

    // How far in the overlay, or the picture of it that leaves, is: 0 out, 1 at rest.
    qreal progress() const { return m_progress; }
    bool isRunning() const;
    // The picture on its way out, while there is one.
    QWidget* leavingPicture() const;

private:
    void run(qreal target);
    void moveTo(qreal progress);
    void arrived();
    QWidget* moving() const;

    QWidget* m_overlay;
    QRect m_rest;
    qreal m_progress = 0;
    QVariantAnimation* m_animation;
    QPointer<QWidget> m_picture;
};

} // namespace quillon
