#pragma once

#include <QWidget>

namespace quillon {

// One document tab: the document's symbol, its file name on one line and a close mark, 100 to
// 220 pixels wide. Passive: it shows what it is given and reports clicks.
class TabButton : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 100;
    static constexpr int kMaxWidth = 220;

    TabButton(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    bool isActive() const { return m_isActive; }
    void setActive(bool active);
    void setDarkMode(bool dark);
    bool isHovering() const { return m_isHovering; }
    bool isCloseHovering() const { return m_isCloseHovering; }
    // The close mark's rectangle, in the tab's coordinates.
    QRect closeRect() const;
    // The name as drawn (elided to fit).
    QString shownTitle() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void selectRequested();
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFont titleFont() const;
    QRect titleRect() const;

    QString m_title;
    QString m_symbol;
    bool m_isActive = false;
    bool m_isDarkMode = false;
    bool m_isHovering = false;
    bool m_isCloseHovering = false;
};

// The top bar's theme switch: a sun in dark mode, a moon in light mode, in a 28-pixel square
// that is clickable all over.
class ThemeToggleButton : public QWidget
{
    Q_OBJECT
public:
    explicit ThemeToggleButton(QWidget* parent = nullptr);

    bool isDarkMode() const { return m_isDarkMode; }
    void setDarkMode(bool dark);
    // The symbol shown: "sun.max" or "moon".
    QString symbol() const;
    bool isHovering() const { return m_isHovering; }

    QSize sizeHint() const override { return QSize(28, 28); }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_isDarkMode = false;
    bool m_isHovering = false;
};

// A pill with a symbol and a label whose fill and colours show an on/off state (the top bar's
// assistant toggle).
class PillToggleButton : public QWidget
{
    Q_OBJECT
public:
    PillToggleButton(const QString& symbol, const QString& label, QWidget* parent = nullptr);

    bool isOn() const { return m_isOn; }
    void setOn(bool on);
    void setDarkMode(bool dark);
    // Fill and foreground for the current state.
    QColor fillColor() const;
    QColor foregroundColor() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFont labelFont() const;

    QString m_symbol;
    QString m_label;
    bool m_isOn = false;
    bool m_isDarkMode = false;
};

} // namespace quillon
