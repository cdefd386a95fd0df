#pragma once

#include <QList>
#include <QScrollArea>
#include <QWidget>

class QHBoxLayout;

namespace quillon {

// One tab of the strip: icon, title and close mark, 120 to 280 pixels wide. Only the active tab
// has a background (unless the strip sits in a toolbar) and an accent bar along its bottom edge.
class TabItem : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 120;
    static constexpr int kMaxWidth = 280;

    TabItem(const QString& path, const QString& title, const QString& symbol, int rowHeight,
        QWidget* parent = nullptr);

    QString path() const { return m_path; }
    bool isActive() const { return m_isActive; }
    void setActive(bool active);
    void setDarkMode(bool dark);
    void setEmbeddedInToolbar(bool embedded);
    bool isCloseHovering() const { return m_isCloseHovering; }
    QRect iconRect() const;
    QRect closeRect() const;
    QRect titleRect() const;
    // The colour the active tab's background is filled with; transparent when none is drawn.
    QColor backgroundColor() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void selectRequested();
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QFont titleFont() const;

    QString m_path;
    QString m_title;
    QString m_symbol;
    int m_rowHeight;
    bool m_isActive = false;
    bool m_isDarkMode = false;
    bool m_isEmbedded = false;
    bool m_isCloseHovering = false;
};

// A horizontally scrolling strip of document tabs, 28 pixels high. A vertical wheel scrolls it
// sideways. Passive: it shows the tabs it is given and reports clicks with the tab's path.
class TabStrip : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int kHeight = 28;

    struct Tab
    {
        QString path;
        QString title;
        QString symbol;
    };

    explicit TabStrip(QWidget* parent = nullptr);

    void setTabs(const QList<Tab>& tabs, const QString& activePath);
    void setDarkMode(bool dark);
    void setEmbeddedInToolbar(bool embedded);
    QList<TabItem*> items() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void selectRequested(const QString& path);
    void closeRequested(const QString& path);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    QWidget* m_row = nullptr;
    QHBoxLayout* m_layout = nullptr;
    bool m_isDarkMode = false;
    bool m_isEmbedded = false;
};

} // namespace quillon
