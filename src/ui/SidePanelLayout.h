#pragma once

#include <QLayout>

#include <memory>

namespace quillon {

// Lays out a main view, a thin divider and a side panel from left to right. The panel wants a
// width of its own; the main view takes the rest. When the row is too narrow for both, the panel
// gives way down to its minimum width before the main view goes below its minimum, so nothing is
// pushed past the right edge. While the panel is hidden, the divider is left out as well and the
// main view fills the row.
class SidePanelLayout : public QLayout
{
    Q_OBJECT
public:
    SidePanelLayout(QWidget* main, QWidget* divider, QWidget* panel, QWidget* parent);
    ~SidePanelLayout() override;

    // The width the panel takes when the row has room for it.
    int wantedPanelWidth() const { return m_wanted; }
    void setWantedPanelWidth(int width);
    // The width the panel was given by the last layout pass (0 while it is hidden).
    int panelWidth() const { return m_shown; }

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }

Q_SIGNALS:
    // The panel's laid-out width changed (the row was resized, or the wanted width changed).
    void panelWidthChanged(int width);

private:
    std::unique_ptr<QLayoutItem>* place(int index);
    bool panelShown() const;
    int dividerWidth() const;

    std::unique_ptr<QLayoutItem> m_main;
    std::unique_ptr<QLayoutItem> m_divider;
    std::unique_ptr<QLayoutItem> m_panel;
    int m_wanted = 0;
    int m_shown = 0;
};

} // namespace quillon
