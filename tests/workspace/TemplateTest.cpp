#include "workspace/Template.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

using namespace quillon;

namespace {

QJsonObject sampleObject()
{
    return QJsonObject {
        { QStringLiteral("id"), QStringLiteral("skill-1") },
        { QStringLiteral("name"), QStringLiteral("Code review") },
        { QStringLiteral("description"), QStringLiteral("Reviews a change") },
        { QStringLiteral("category"), QStringLiteral("Claude Skill") },
        { QStringLiteral("icon"), QStringLiteral("doc.text") },
        { QStringLiteral("content"), QStringLiteral("# Review\n\n- point") },
    };
}

} // namespace

TEST(Template, DecodesAndRoundTrips)
{
    const auto decoded = Template::fromJson(sampleObject());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->category, Template::TemplateCategory::claudeSkill);
    EXPECT_EQ(decoded->content, QStringLiteral("# Review\n\n- point"));

    const auto again = Template::fromJsonBytes(decoded->toJsonBytes());
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *decoded);
    EXPECT_EQ(decoded->toJson(), sampleObject());

    QJsonObject extra = sampleObject();
    extra.insert(QStringLiteral("author"), QStringLiteral("ignored"));
    EXPECT_TRUE(Template::fromJson(extra));
}

TEST(Template, RejectsMissingKeysWrongTypesAndUnknownCategories)
{
    struct Case
    {
        const char* key;
        QJsonValue value; // Undefined removes the key
    };
    const Case cases[] = {
        { "icon", QJsonValue(QJsonValue::Undefined) },
        { "id", QJsonValue(QJsonValue::Undefined) },
        { "content", QJsonValue(QJsonValue::Undefined) },
        { "name", QJsonValue(42) },
        { "description", QJsonValue(QJsonValue::Null) },
        { "category", QJsonValue(QStringLiteral("general")) },
        { "category", QJsonValue(QStringLiteral("Claude skill")) },
        { "category", QJsonValue(3) },
    };
    for (const Case& c : cases) {
        QJsonObject object = sampleObject();
        if (c.value.isUndefined())
            object.remove(QString::fromLatin1(c.key));
        else
            object.insert(QString::fromLatin1(c.key), c.value);
        QString error;
        EXPECT_FALSE(Template::fromJson(object, &error)) << c.key;
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(Template::fromJsonBytes("[1, 2]"));
    EXPECT_FALSE(Template::fromJsonBytes("{ not json"));
}

TEST(Template, CategoriesAndCodingKeys)
{
    const QList<Template::TemplateCategory> all = Template::allCategories();
    ASSERT_EQ(all.size(), 5);
    EXPECT_EQ(all.first(), Template::TemplateCategory::claudeSkill);
    EXPECT_EQ(all.last(), Template::TemplateCategory::general);
    QStringList raw;
    for (const auto category : all) {
        raw.append(Template::rawValue(category));
        EXPECT_EQ(Template::categoryFromRawValue(raw.last()), category);
    }
    EXPECT_EQ(raw,
        QStringList({ QStringLiteral("Claude Skill"), QStringLiteral("System Prompt"),
            QStringLiteral("Agent Config"), QStringLiteral("Documentation"),
            QStringLiteral("General") }));
    EXPECT_FALSE(Template::categoryFromRawValue(QStringLiteral("GENERAL")));

    EXPECT_EQ(Template::codingKey(QStringLiteral("icon")), Template::CodingKey::icon);
    EXPECT_FALSE(Template::codingKey(QStringLiteral("Icon")));
    EXPECT_FALSE(Template::codingKey(QStringLiteral("0")));

    const TemplateManager manager({ *Template::fromJson(sampleObject()) });
    EXPECT_EQ(manager.templates().size(), 1);
}
