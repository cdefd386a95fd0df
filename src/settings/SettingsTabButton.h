#pragma once

#include <QAbstractButton>

namespace quillon {

// One tab of the settings sheet: its symbol and title on a rounded highlight while selected.
// Passive: it shows what it is given and reports clicks.
class SettingsTabButton : public QAbstractButton
{
    Q_OBJECT
public:
    SettingsTabButton(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    void setDarkMode(bool dark);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    bool m_selected = false;
    bool m_dark = false;
};

} // namespace quillon
