#include "platform/AttributedText.h"

#include <gtest/gtest.h>

static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace quillon;
using A = TextAttribute;

namespace {

class Marker : public TextAttachment
{
};

QColor red()
{
    return QColor::fromRgbF(1, 0, 0, 1);
}
QColor blue()
{
    return QColor::fromRgbF(0, 0, 1, 1);
}

// "range:colour" for every foreground run, for compact comparisons.
QString foregroundRuns(const AttributedText& t)
{
    QString out;
    t.enumerateAttribute<A::ForegroundColor>({ 0, t.length() }, [&](TextSpan r, const QColor* c) {
        out += QStringLiteral("%1+%2:%3 ")
                   .arg(r.location)
                   .arg(r.length)
                   .arg(c ? c->name() : QStringLiteral("-"));
    });
    return out.trimmed();
}

} // namespace

TEST(AttributedText, AddSetAndRemoveKeepRunsExact)
{
    AttributedText t(QStringLiteral("0123456789"));
    t.addAttribute<A::ForegroundColor>({ 2, 3 }, red());
    t.addAttribute<A::ForegroundColor>({ 4, 3 }, blue());
    EXPECT_EQ(foregroundRuns(t), QStringLiteral("0+2:- 2+2:#ff0000 4+3:#0000ff 7+3:-"));

    t.addAttribute<A::UnderlineStyle>({ 0, 10 }, 1);
    t.removeAttribute(A::ForegroundColor, { 3, 2 });
    EXPECT_EQ(foregroundRuns(t), QStringLiteral("0+2:- 2+1:#ff0000 3+2:- 5+2:#0000ff 7+3:-"));
    EXPECT_EQ(*t.attribute<A::UnderlineStyle>(9), 1);

    TextAttributes only;
    only.strikethroughStyle = 1;
    t.setAttributes({ 5, 2 }, only);
    EXPECT_FALSE(t.hasAttribute(A::UnderlineStyle, 5));
    EXPECT_FALSE(t.hasAttribute(A::ForegroundColor, 6));
    EXPECT_TRUE(t.hasAttribute(A::StrikethroughStyle, 6));
    EXPECT_TRUE(t.hasAttribute(A::UnderlineStyle, 7));
}

TEST(AttributedText, RangesAreClippedToTheText)
{
    AttributedText t(QStringLiteral("abc"));
    t.addAttribute<A::Bullet>({ 1, 100 }, 11.0);
    t.addAttribute<A::Bullet>({ 7, 2 }, 35.0);
    t.addAttribute<A::Bullet>({ -2, 3 }, 35.0);
    EXPECT_EQ(*t.attribute<A::Bullet>(0), 35.0);
    EXPECT_EQ(*t.attribute<A::Bullet>(2), 11.0);
    EXPECT_EQ(t.attribute<A::Bullet>(3), nullptr);
    EXPECT_EQ(t.attribute<A::Bullet>(-1), nullptr);

    // A negative length is empty where it starts; a start beyond the end is the end.
    t.replaceCharacters({ 1, -1 }, QStringLiteral("X"));
    EXPECT_EQ(t.text(), QStringLiteral("aXbc"));
    t.replaceCharacters({ 9, 2 }, QStringLiteral("Z"));
    EXPECT_EQ(t.text(), QStringLiteral("aXbcZ"));
}

TEST(AttributedText, EffectiveRangesPerAttributeAndPerRun)
{
    AttributedText t(QStringLiteral("aaaabbbbcccc"));
    t.addAttribute<A::ForegroundColor>({ 0, 8 }, red());
    t.addAttribute<A::Collapsed>({ 4, 4 }, true);
    TextSpan range;
    t.attribute<A::ForegroundColor>(5, &range);
    EXPECT_EQ(range, TextSpan(0, 8));
    t.attributes(5, &range);
    EXPECT_EQ(range, TextSpan(4, 4));
    EXPECT_EQ(t.attribute<A::Collapsed>(9, &range), nullptr);
    EXPECT_EQ(range, TextSpan(8, 4));

    std::vector<TextRun> runs = t.runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].range, TextSpan(4, 4));
    EXPECT_EQ(runs[1].attributes.collapsed, std::optional<bool>(true));
    EXPECT_EQ(runs[2].attributes, TextAttributes {});
}

TEST(AttributedText, ReplacingCharactersInheritsAndShiftsAttributes)
{
    AttributedText t(QStringLiteral("abcdef"));
    t.addAttribute<A::ForegroundColor>({ 0, 3 }, red());
    t.addAttribute<A::ForegroundColor>({ 3, 3 }, blue());

    t.replaceCharacters({ 1, 1 }, QStringLiteral("XYZ")); // takes the first replaced character's
    EXPECT_EQ(t.text(), QStringLiteral("aXYZcdef"));
    EXPECT_EQ(foregroundRuns(t), QStringLiteral("0+5:#ff0000 5+3:#0000ff"));

    t.replaceCharacters({ 5, 0 }, QStringLiteral("_")); // insertion: the character before
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(5), red());
    t.replaceCharacters({ 0, 0 }, QStringLiteral("^")); // at 0: the character after
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(0), red());

    t.replaceCharacters({ 1, 7 }, QString());
    EXPECT_EQ(t.text(), QStringLiteral("^ef"));
    EXPECT_EQ(foregroundRuns(t), QStringLiteral("0+1:#ff0000 1+2:#0000ff"));

    AttributedText piece(QStringLiteral("!!"));
    auto marker = std::make_shared<Marker>();
    piece.addAttribute<A::Attachment>({ 1, 1 }, marker);
    t.replaceCharacters({ 1, 1 }, piece);
    EXPECT_EQ(t.text(), QStringLiteral("^!!f"));
    EXPECT_EQ(t.attribute<A::Attachment>(2)->get(), marker.get());
    EXPECT_FALSE(t.hasAttribute(A::ForegroundColor, 1));
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(3), blue());
}

TEST(AttributedText, ReplaceRangesInOnePass)
{
    AttributedText t(QStringLiteral("aa|bb|cc"));
    t.addAttribute<A::ForegroundColor>({ 0, 8 }, red());
    AttributedText one(QStringLiteral("1"));
    one.addAttribute<A::Bullet>({ 0, 1 }, 5.0);
    t.replaceRanges({ { { 2, 1 }, one }, { { 5, 1 }, AttributedText(QStringLiteral("<>")) } });
    EXPECT_EQ(t.text(), QStringLiteral("aa1bb<>cc"));
    EXPECT_EQ(*t.attribute<A::Bullet>(2), 5.0);
    EXPECT_FALSE(t.hasAttribute(A::ForegroundColor, 2));
    EXPECT_FALSE(t.hasAttribute(A::ForegroundColor, 5));
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(8), red());
}

TEST(AttributedText, EqualityComparesValuesNotStorage)
{
    AttributedText a(QStringLiteral("hello"));
    AttributedText b(QStringLiteral("hello"));
    a.addAttribute<A::ForegroundColor>({ 0, 5 }, blue()); // different interning history
    a.addAttribute<A::ForegroundColor>({ 0, 5 }, red());
    b.addAttribute<A::ForegroundColor>({ 0, 2 }, red());
    b.addAttribute<A::ForegroundColor>({ 2, 3 }, red());
    EXPECT_EQ(a, b);
    b.addAttribute<A::ParagraphStyle>({ 4, 1 }, ParagraphStyle { 1 });
    EXPECT_FALSE(a == b);
    TextAttributes redText;
    redText.foregroundColor = red();
    EXPECT_EQ(a.subText({ 1, 3 }), AttributedText(QStringLiteral("ell"), redText));
}

TEST(AttributedText, ReplacingAllAttributesForgetsOldValues)
{
    AttributedText t(QString(1000, u'x'));
    for (int i = 0; i < 1000; ++i)
        t.addAttribute<A::Bullet>({ i, 1 }, qreal(i));
    EXPECT_GT(t.internedSetCount(), 1000);
    TextAttributes redText;
    redText.foregroundColor = red();
    t.setAttributes({ 0, 1000 }, redText);
    EXPECT_EQ(t.internedSetCount(), 2);
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(999), red());
}
