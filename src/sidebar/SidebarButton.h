#pragma once

#include <QAbstractButton>

class QVariantAnimation;

namespace quillon {

// A whole-row button of the sidebar: symbol, title, and a rounded highlight while the pointer is
// over it (faded in and out). The header's links use the Link look, the footer's settings button
// the Settings look.
class SidebarButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum class Look { Link, Settings };

    SidebarButton(
        Look look, const QString& symbol, const QString& title, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    bool isHovered() const { return m_hovered; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovered(bool hovered);
    int symbolSize() const;
    QFont titleFont() const;

    Look m_look;
    QString m_symbol;
    bool m_dark = false;
    bool m_hovered = false;
    qreal m_highlight = 0; // 0 at rest, 1 while hovered
    QVariantAnimation* m_fade;
};

} // namespace quillon
