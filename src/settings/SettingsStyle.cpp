#include "settings/SettingsStyle.h"

#include "ui/AppColors.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

namespace quillon::SettingsStyle {

QFont font(qreal pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // Points at 96 dots per inch are the layout's pixel sizes, half sizes such as 12.5 included.
    font.setPointSizeF(pixelSize * 72.0 / 96.0);
    font.setWeight(weight);
    return font;
}

QFont monospaceFont(qreal pixelSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(pixelSize * 72.0 / 96.0);
    return font;
}

QColor sheetBackground(bool dark)
{
    return AppColors::grey(dark ? 0.14 : 0.98);
}

QColor divider(bool dark)
{
    return dark ? AppColors::whiteAt(0.2 * 0.5) : AppColors::blackAt(0.6 * 0.15);
}

QColor selectedTabFill(bool dark)
{
    return dark ? AppColors::whiteAt(0.12) : AppColors::blackAt(0.08);
}

QColor tabText(bool dark, bool selected)
{
    if (!selected)
        return AppColors::gray();
    return dark ? AppColors::whiteAt(1) : AppColors::blackAt(1);
}

QColor rowFill(bool dark)
{
    return dark ? AppColors::whiteAt(0.05) : AppColors::blackAt(0.04);
}

QColor note()
{
    return AppColors::gray();
}

QColor success()
{
    return QColor::fromRgbF(0.2, 0.78, 0.35);
}

QColor warning()
{
    return QColor::fromRgbF(1.0, 0.584, 0.0);
}

QColor danger()
{
    return QColor::fromRgbF(1.0, 0.231, 0.188);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QLabel* sectionTitle(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font(13, QFont::DemiBold));
    return label;
}

QLabel* noteLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font(11));
    setTextColour(label, note());
    return label;
}

QWidget* divider(QWidget* parent)
{
    auto* rule = new QWidget(parent);
    rule->setObjectName(QStringLiteral("settingsDivider"));
    rule->setFixedHeight(1);
    rule->setAutoFillBackground(true);
    return rule;
}

QLabel* messageLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font(11.5));
    setTextColour(label, danger());
    label->hide();
    return label;
}

void showMessage(QLabel* label, const QString& message)
{
    label->setText(message);
    label->setVisible(!message.isEmpty());
}

QPushButton* button(const QString& text, qreal pixelSize, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFont(font(pixelSize));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace quillon::SettingsStyle
