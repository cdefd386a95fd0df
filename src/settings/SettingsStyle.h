#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace quillon {

// The settings sheet's fonts, colours and the small pieces every tab repeats.
namespace SettingsStyle {

// The system font (or the fixed one) at a pixel size.
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospaceFont(qreal pixelSize);

QColor sheetBackground(bool dark);
QColor divider(bool dark);
QColor selectedTabFill(bool dark);
QColor tabText(bool dark, bool selected);
QColor rowFill(bool dark);
QColor note();
QColor success();
QColor warning();
QColor danger();

// A section title (13, semibold), a grey note (11), a horizontal rule.
QLabel* sectionTitle(const QString& text, QWidget* parent);
QLabel* noteLabel(const QString& text, QWidget* parent);
QWidget* divider(QWidget* parent);
// A label for a message the sheet shows after an action failed; hidden while empty.
QLabel* messageLabel(QWidget* parent);
void showMessage(QLabel* label, const QString& message);
// A push button that Return in a text field never presses.
QPushButton* button(const QString& text, qreal pixelSize, QWidget* parent);

void setTextColour(QWidget* widget, const QColor& colour);

} // namespace SettingsStyle

} // namespace quillon
