#pragma once

#include <QPushButton>

namespace quillon {

// The prominent push button of a sheet, the one that carries out its action: a rounded fill in
// the accent colour of the appearance its palette shows, with its title in the colour that reads
// on the accent. Disabled, a faint accent with the disabled text colour.
class ProminentButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

    // The fill as drawn now: the accent, pressed or disabled.
    QColor fillColor() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quillon
