#include "settings/SettingsRules.h"

#include "git/KeychainManager.h"
#include "workspace/WorkspaceSettings.h"

#include <algorithm>
#include <cmath>

namespace quillon::SettingsRules {

namespace {

const auto& fontSetting = WorkspaceSettings::editorFontSize;

bool isSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

template <typename Predicate> QString trimmed(const QString& text, Predicate&& drop)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && drop(text.at(start)))
        ++start;
    while (end > start && drop(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

bool hasControlCharacters(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        const QChar::Category category = c.category();
        return category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph;
    });
}

CheckedText check(const QString& typed, const QString& refusal)
{
    CheckedText result { trimSpacesAndLineBreaks(typed), {} };
    if (hasControlCharacters(result.text))
        result.error = refusal;
    return result;
}

} // namespace

double usableFontSize(double size)
{
    return std::isfinite(size) && fontSetting.inRange(size) ? size : fontSetting.defaultValue;
}

QString fontSizeLabel(double size)
{
    return QStringLiteral("%1 pt").arg(int(std::trunc(usableFontSize(size))));
}

double steppedFontSize(double size, int direction)
{
    return fontSetting.clamped(usableFontSize(size) + (direction < 0 ? -1 : 1));
}

bool canStepFontSize(double size, int direction)
{
    const double usable = usableFontSize(size);
    return direction < 0 ? usable > *fontSetting.minimum : usable < *fontSetting.maximum;
}

QString trimSpaces(const QString& text)
{
    return trimmed(text, isSpace);
}

QString trimSpacesAndLineBreaks(const QString& text)
{
    return trimmed(text, [](QChar c) { return c.isSpace(); });
}

QStringList presetExtensions()
{
    return { QStringLiteral("md"), QStringLiteral("markdown"), QStringLiteral("txt"),
        QStringLiteral("json"), QStringLiteral("yaml"), QStringLiteral("yml"),
        QStringLiteral("swift"), QStringLiteral("py") };
}

bool canAddExtension(const QString& text)
{
    return !trimSpaces(text).isEmpty();
}

std::optional<QString> extensionToAdd(const QString& text)
{
    const QString extension = trimSpacesAndLineBreaks(text).toLower();
    if (extension.isEmpty())
        return std::nullopt;
    return extension;
}

QString intervalLabel(int minutes)
{
    if (minutes == 0)
        return QStringLiteral("Disabled");
    if (minutes == 1)
        return QStringLiteral("1 minute");
    return QStringLiteral("%1 minutes").arg(minutes);
}

CheckedText checkHost(const QString& typed)
{
    CheckedText result = check(
        typed, QStringLiteral("A host name cannot contain line breaks or control characters."));
    if (result.usable())
        result.text = KeychainManager::extractHost(result.text);
    return result;
}

CheckedText checkToken(const QString& typed)
{
    return check(
        typed, QStringLiteral("A token cannot contain line breaks or control characters."));
}

} // namespace quillon::SettingsRules
