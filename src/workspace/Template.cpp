#include "workspace/Template.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <array>

namespace quillon {

namespace {

using Category = Template::TemplateCategory;
using Key = Template::CodingKey;

constexpr std::array<std::pair<Category, const char*>, 5> categoryNames { {
    { Category::claudeSkill, "Claude Skill" },
    { Category::systemPrompt, "System Prompt" },
    { Category::agentConfig, "Agent Config" },
    { Category::documentation, "Documentation" },
    { Category::general, "General" },
} };

constexpr std::array<std::pair<Key, const char*>, 6> keyNames { {
    { Key::id, "id" },
    { Key::name, "name" },
    { Key::description, "description" },
    { Key::category, "category" },
    { Key::icon, "icon" },
    { Key::content, "content" },
} };

void fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

} // namespace

QList<Template::TemplateCategory> Template::allCategories()
{
    QList<TemplateCategory> all;
    for (const auto& [category, name] : categoryNames)
        all.append(category);
    return all;
}

QString Template::rawValue(TemplateCategory category)
{
    for (const auto& [candidate, name] : categoryNames) {
        if (candidate == category)
            return QString::fromLatin1(name);
    }
    return QString();
}

std::optional<Template::TemplateCategory> Template::categoryFromRawValue(const QString& rawValue)
{
    for (const auto& [category, name] : categoryNames) {
        if (rawValue == QLatin1String(name))
            return category;
    }
    return std::nullopt;
}

QString Template::keyString(CodingKey key)
{
    for (const auto& [candidate, name] : keyNames) {
        if (candidate == key)
            return QString::fromLatin1(name);
    }
    return QString();
}

std::optional<Template::CodingKey> Template::codingKey(const QString& string)
{
    for (const auto& [key, name] : keyNames) {
        if (string == QLatin1String(name))
            return key;
    }
    return std::nullopt;
}

QJsonObject Template::toJson() const
{
    return QJsonObject {
        { keyString(Key::id), id },
        { keyString(Key::name), name },
        { keyString(Key::description), description },
        { keyString(Key::category), rawValue(category) },
        { keyString(Key::icon), icon },
        { keyString(Key::content), content },
    };
}

QByteArray Template::toJsonBytes() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<Template> Template::fromJson(const QJsonObject& object, QString* error)
{
    Template result;
    for (const auto& [key, name] : keyNames) {
        const QString keyName = QString::fromLatin1(name);
        const QJsonValue value = object.value(keyName);
        if (value.isUndefined()) {
            fail(error, QStringLiteral("The template has no \"%1\".").arg(keyName));
            return std::nullopt;
        }
        if (!value.isString()) {
            fail(error, QStringLiteral("The template's \"%1\" is not a string.").arg(keyName));
            return std::nullopt;
        }
        const QString text = value.toString();
        switch (key) {
        case Key::id:
            result.id = text;
            break;
        case Key::name:
            result.name = text;
            break;
        case Key::description:
            result.description = text;
            break;
        case Key::category: {
            const auto category = categoryFromRawValue(text);
            if (!category) {
                fail(error, QStringLiteral("\"%1\" is not a template category.").arg(text));
                return std::nullopt;
            }
            result.category = *category;
            break;
        }
        case Key::icon:
            result.icon = text;
            break;
        case Key::content:
            result.content = text;
            break;
        }
    }
    return result;
}

std::optional<Template> Template::fromJsonBytes(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        fail(error, QStringLiteral("A template must be a JSON object."));
        return std::nullopt;
    }
    return fromJson(document.object(), error);
}

} // namespace quillon
