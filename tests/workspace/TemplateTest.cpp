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

TEST(Template, CategoriesRoundTripThroughTheirStoredNames)
{
    for (const auto category : Template::allCategories())
        EXPECT_EQ(Template::categoryFromRawValue(Template::rawValue(category)), category);
    EXPECT_FALSE(Template::categoryFromRawValue(QStringLiteral("GENERAL")));

    const TemplateManager manager({ *Template::fromJson(sampleObject()) });
    EXPECT_EQ(manager.templates().size(), 1);
}
