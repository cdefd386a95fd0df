#include "app/OverlayTransition.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QSignalBlocker>
#include <QVariantAnimation>
#include <QWidget>

namespace quillon {

namespace {

// A still picture of the overlay on its way out; clicks go through it to what lies below.
class LeavingPicture : public QWidget
{
public:
    LeavingPicture(const QPixmap& pixmap, QWidget* parent)
        : QWidget(parent)
        , m_pixmap(pixmap)
    {
        setObjectName(QStringLiteral("leavingOverlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        resize(pixmap.deviceIndependentSize().toSize());
    }
    void setOpacity(qreal opacity)
    {
        m_opacity = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setOpacity(m_opacity);
        painter.drawPixmap(0, 0, m_pixmap);
    }

private:
    QPixmap m_pixmap;
    qreal m_opacity = 1;
};

} // namespace

OverlayTransition::OverlayTransition(QWidget* overlay)
    : QObject(overlay)
    , m_overlay(overlay)
    , m_animation(new QVariantAnimation(this))
{
    connect(m_animation, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { moveTo(value.toReal()); });
    connect(m_animation, &QVariantAnimation::finished, this, &OverlayTransition::arrived);
}

OverlayTransition::~OverlayTransition()
{
    delete m_picture;
}

bool OverlayTransition::isRunning() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

QWidget* OverlayTransition::leavingPicture() const
{
    return m_picture;
}

void OverlayTransition::setRestGeometry(const QRect& rest)
{
    m_rest = rest;
    if (isRunning())
        moveTo(m_progress);
    else
        m_overlay->setGeometry(rest);
}

void OverlayTransition::setShown(bool shown)
{
    if (shown) {
        if (!m_overlay->isHidden())
            return;
        // Coming back on its way out: the overlay takes over from its picture.
        delete m_picture;
        m_animation->stop();
        if (!m_overlay->parentWidget()->isVisible()) {
            m_progress = 1;
            m_overlay->setGeometry(m_rest);
            m_overlay->show();
            return;
        }
        m_overlay->setGraphicsEffect(new QGraphicsOpacityEffect(m_overlay));
        moveTo(m_progress);
        m_overlay->show();
    } else {
        if (m_picture)
            return;
        m_animation->stop();
        if (!m_overlay->isVisible()) {
            m_progress = 0;
            m_overlay->setGraphicsEffect(nullptr);
            m_overlay->hide();
            return;
        }
        m_overlay->setGraphicsEffect(nullptr);
        auto* picture = new LeavingPicture(m_overlay->grab(), m_overlay->parentWidget());
        m_picture = picture;
        moveTo(m_progress);
        picture->show();
        picture->raise();
        m_overlay->hide();
    }
    run(shown ? 1 : 0);
}

void OverlayTransition::run(qreal target)
{
    const qreal from = m_progress;
    {
        // A stopped animation reports its last run's end value when its values change.
        const QSignalBlocker quiet(m_animation);
        m_animation->setStartValue(from);
        m_animation->setEndValue(target);
        m_animation->setDuration(qMax(1, qRound(kDurationMs * qAbs(target - from))));
    }
    m_animation->start();
}

void OverlayTransition::moveTo(qreal progress)
{
    m_progress = progress;
    // Fast at first and slow to land on the way in; slow to leave and fast at last on the way out.
    const qreal in = QEasingCurve(QEasingCurve::OutCubic).valueForProgress(progress);
    const int above = qRound((1 - in) * (m_rest.y() + m_rest.height()));
    if (auto* picture = static_cast<LeavingPicture*>(m_picture.data())) {
        picture->move(m_rest.x() + m_rest.width() - picture->width(), m_rest.y() - above);
        picture->setOpacity(in);
        return;
    }
    m_overlay->setGeometry(m_rest.translated(0, -above));
    if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(m_overlay->graphicsEffect()))
        fade->setOpacity(in);
}

void OverlayTransition::arrived()
{
    if (m_progress >= 1) {
        m_overlay->setGraphicsEffect(nullptr);
        m_overlay->setGeometry(m_rest);
    } else {
        delete m_picture;
    }
}

} // namespace quillon
