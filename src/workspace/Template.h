#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace quillon {

// A named, categorised piece of document text with an icon, coded to and from JSON.
struct Template
{
    enum class TemplateCategory { claudeSkill, systemPrompt, agentConfig, documentation, general };
    enum class CodingKey { id, name, description, category, icon, content };

    QString id;
    QString name;
    QString description;
    TemplateCategory category = TemplateCategory::general;
    QString icon;
    QString content;

    // All categories, claudeSkill first and general last.
    static QList<TemplateCategory> allCategories();
    static QString rawValue(TemplateCategory category);
    // Exact, case-sensitive match of a raw value ("Claude Skill").
    static std::optional<TemplateCategory> categoryFromRawValue(const QString& rawValue);

    static QString keyString(CodingKey key);
    static std::optional<CodingKey> codingKey(const QString& string);

    QJsonObject toJson() const;
    QByteArray toJsonBytes() const;
    // Every key is required and every text field must be a string; other keys are ignored.
    // nullopt and *error on failure.
    static std::optional<Template> fromJson(const QJsonObject& object, QString* error = nullptr);
    static std::optional<Template> fromJsonBytes(const QByteArray& json, QString* error = nullptr);

    bool operator==(const Template&) const = default;
};

// Holds a fixed list of templates.
class TemplateManager
{
public:
    explicit TemplateManager(QList<Template> templates = {})
        : m_templates(std::move(templates))
    {
    }
    const QList<Template>& templates() const { return m_templates; }

private:
    const QList<Template> m_templates;
};

} // namespace quillon
