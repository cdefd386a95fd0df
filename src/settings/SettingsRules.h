#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillon {

// The rules behind the settings sheet's controls, free of widgets.
namespace SettingsRules {

// ---- Editor font size ------------------------------------------------------------------------
// The size itself when it is a finite number within the offered range, else the default (15).
double usableFontSize(double size);
// The stepper's label: the usable size without its fraction, then " pt" ("14 pt" for 14.5).
QString fontSizeLabel(double size);
// One step up (+1) or down (-1) from the usable size, kept within the range.
double steppedFontSize(double size, int direction);
bool canStepFontSize(double size, int direction);

// ---- Text fields -----------------------------------------------------------------------------
// Without leading and trailing spaces (any Unicode space separator) and tabs; line breaks stay.
QString trimSpaces(const QString& text);
// Without leading and trailing white space of any kind, line breaks included.
QString trimSpacesAndLineBreaks(const QString& text);

// ---- File types ------------------------------------------------------------------------------
// The extensions offered as toggles, in order.
QStringList presetExtensions();
// Whether "Add" is enabled: something but spaces and tabs was typed.
bool canAddExtension(const QString& text);
// The extension "Add" stores: trimmed and lower-cased; none when nothing is left.
std::optional<QString> extensionToAdd(const QString& text);

// ---- Git -------------------------------------------------------------------------------------
// "Disabled", "1 minute", "3 minutes", ...
QString intervalLabel(int minutes);

// A host or token as typed, checked: trimmed of white space and line breaks around it, and
// refused (with the reason) when line breaks or control characters remain inside.
struct CheckedText
{
    QString text;
    QString error;
    bool usable() const { return error.isEmpty() && !text.isEmpty(); }
};
CheckedText checkHost(const QString& typed);
CheckedText checkToken(const QString& typed);

} // namespace SettingsRules

} // namespace quillon
