#pragma once

#include "workspace/RecentEntity.h"

#include <QWidget>

class QVariantAnimation;

namespace quillon {

// A large action card of the start page: an icon tile, a title and subtitle, and a chevron. It
// rises slightly under the pointer.
class StartPageActionButton : public QWidget
{
    Q_OBJECT
public:
    StartPageActionButton(const QString& icon, const QString& title, const QString& subtitle,
        QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setDarkMode(bool dark);
    bool isHovered() const { return m_isHovered; }
    // Takes up whether the pointer is over it now (after it moved under a pointer at rest).
    void followPointer();
    // 0 at rest, 1 fully hovered (animated over 0.15 s).
    qreal hoverProgress() const { return m_progress; }

    QSize sizeHint() const override { return QSize(440, 70); }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void animateTo(qreal end);

    QString m_icon;
    QString m_title;
    QString m_subtitle;
    bool m_isDarkMode = false;
    bool m_isHovered = false;
    qreal m_progress = 0;
    QVariantAnimation* m_animation = nullptr;
};

// One working folder on the start page: icon, name, the folder that holds it, and an arrow shown
// under the pointer.
class StartPageRecentRow : public QWidget
{
    Q_OBJECT
public:
    StartPageRecentRow(const RecentEntity& entity, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    bool isHovering() const { return m_isHovering; }
    void followPointer();

    QSize sizeHint() const override { return QSize(440, 48); }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    RecentEntity m_entity;
    bool m_isDarkMode = false;
    bool m_isHovering = false;
};

// The rounded card behind the working folders.
class StartPageCard : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    void setDarkMode(bool dark);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_isDarkMode = false;
};

} // namespace quillon
