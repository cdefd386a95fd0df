#include "platform/AttributedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

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

    // Bare characters carry nothing, as a text of them alone would, amid attributes or not.
    t.replaceWithBareCharacters({ 3, 1 }, QStringLiteral("gh"));
    t.replaceWithBareCharacters({ 0, 0 }, QStringLiteral("<"));
    EXPECT_EQ(t.text(), QStringLiteral("<^!!gh"));
    EXPECT_EQ(foregroundRuns(t), QStringLiteral("0+1:- 1+1:#ff0000 2+4:-"));
    EXPECT_EQ(t.attribute<A::Attachment>(3)->get(), marker.get());
    EXPECT_EQ(t.runs().size(), 5u);
}

TEST(AttributedText, EachOfManyPointsTakesItsOwnValueAndKeepsTheRest)
{
    // What addAttribute() would give each point alone: its own value, the point's other
    // attributes kept, the units between untouched, points outside the text ignored.
    AttributedText t(QStringLiteral("a b c d"));
    t.addAttribute<A::ForegroundColor>({ 0, 3 }, blue());
    std::vector<TextAttachmentPtr> markers;
    for (int i = 0; i < 4; ++i)
        markers.push_back(std::make_shared<Marker>());
    t.setEachAt<A::Attachment>({ 0, 2, 6, 7 }, markers);
    EXPECT_EQ(t.attribute<A::Attachment>(0)->get(), markers[0].get());
    EXPECT_EQ(t.attribute<A::Attachment>(2)->get(), markers[1].get());
    EXPECT_EQ(t.attribute<A::Attachment>(6)->get(), markers[2].get());
    EXPECT_FALSE(t.hasAttribute(A::Attachment, 1));
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(2), blue());
    EXPECT_FALSE(t.hasAttribute(A::ForegroundColor, 6));
    AttributedText one(QStringLiteral("a b c d"));
    one.addAttribute<A::ForegroundColor>({ 0, 3 }, blue());
    one.addAttribute<A::Attachment>({ 0, 1 }, markers[0]);
    one.addAttribute<A::Attachment>({ 2, 1 }, markers[1]);
    one.addAttribute<A::Attachment>({ 6, 1 }, markers[2]);
    EXPECT_TRUE(t == one);
    // A value given this way is found again by a later look-up: the same attributes are one set.
    t.addAttribute<A::Attachment>({ 4, 1 }, markers[1]);
    t.addAttribute<A::ForegroundColor>({ 4, 1 }, blue());
    std::map<qsizetype, quint32> sets;
    t.enumerateRunSets({ 0, t.length() },
        [&](TextSpan run, quint32 set, const TextAttributes&) { sets[run.location] = set; });
    EXPECT_EQ(sets.at(2), sets.at(4));

    // Attributes shared by every point come with each value, and nowhere else.
    AttributedText shared(QStringLiteral("a b"));
    shared.addAttribute<A::Link>({ 0, 3 }, QUrl(QStringLiteral("https://example.org")));
    TextAttributes blueText;
    blueText.foregroundColor = blue();
    shared.setEachAt<A::Attachment>(
        { 0, 2 }, { std::make_shared<Marker>(), std::make_shared<Marker>() }, blueText);
    ASSERT_TRUE(shared.hasAttribute(A::ForegroundColor, 0));
    ASSERT_TRUE(shared.hasAttribute(A::ForegroundColor, 2));
    EXPECT_EQ(*shared.attribute<A::ForegroundColor>(0), blue());
    EXPECT_EQ(*shared.attribute<A::ForegroundColor>(2), blue());
    EXPECT_FALSE(shared.hasAttribute(A::ForegroundColor, 1));
    EXPECT_TRUE(shared.hasAttribute(A::Link, 2));
    EXPECT_TRUE(shared.hasAttribute(A::Attachment, 2));

    // Styling a copy of a stretch and setting its attributes back keeps the attachments it
    // carries, whether they are those it lands on or others.
    AttributedText styled = t.subText({ 1, 5 });
    styled.addAttribute<A::ForegroundColor>({ 0, 5 }, red());
    styled.addAttribute<A::Attachment>({ 3, 1 }, markers[3]);
    t.setAttributesFrom(1, styled);
    EXPECT_EQ(t.attribute<A::Attachment>(2)->get(), markers[1].get());
    EXPECT_EQ(t.attribute<A::Attachment>(4)->get(), markers[3].get());
    EXPECT_EQ(t.attribute<A::Attachment>(6)->get(), markers[2].get());
    EXPECT_EQ(*t.attribute<A::ForegroundColor>(2), red());
    t.addAttribute<A::Attachment>({ 0, 1 }, markers[3]);
    t.addAttribute<A::ForegroundColor>({ 0, 1 }, red());
    t.enumerateRunSets({ 0, t.length() },
        [&](TextSpan run, quint32 set, const TextAttributes&) { sets[run.location] = set; });
    EXPECT_EQ(sets.at(0), sets.at(4));
}

TEST(AttributedText, ReplaceRangesInOnePass)
{
    AttributedText t(QStringLiteral("aa|bb|cc|dd"));
    t.addAttribute<A::ForegroundColor>({ 0, 11 }, red());
    // The third range overlaps the second and is skipped.
    t.replaceRanges({ { 2, 1 }, { 5, 1 }, { 5, 2 }, { 8, 1 } }, QStringLiteral("<>"));
    EXPECT_EQ(t.text(), QStringLiteral("aa<>bb<>cc<>dd"));
    for (const qsizetype plain : { 2, 3, 6, 7, 10, 11 })
        EXPECT_FALSE(t.hasAttribute(A::ForegroundColor, plain)) << plain;
    for (const qsizetype kept : { 0, 1, 4, 5, 8, 9, 12, 13 })
        EXPECT_EQ(*t.attribute<A::ForegroundColor>(kept), red()) << kept;

    // A text held alone whose ranges all shrink is closed up where it lies; one shared with a
    // copy is not, and the copy keeps what it held.
    for (const bool shared : { false, true }) {
        AttributedText u(QString::fromUtf8("xx[a]yy[bb]zz"));
        u.addAttribute<A::ForegroundColor>({ 0, 13 }, red());
        const QString held = shared ? u.text() : QString();
        u.replaceRanges({ { 2, 3 }, { 7, 4 }, { 8, 1 } }, QStringLiteral("#"));
        EXPECT_EQ(u.text(), QStringLiteral("xx#yy#zz")) << shared;
        EXPECT_EQ(u.length(), 8);
        for (const qsizetype plain : { 2, 5 })
            EXPECT_FALSE(u.hasAttribute(A::ForegroundColor, plain)) << plain;
        for (const qsizetype kept : { 0, 1, 3, 4, 6, 7 })
            EXPECT_EQ(*u.attribute<A::ForegroundColor>(kept), red()) << kept;
        if (shared) {
            EXPECT_EQ(held, QStringLiteral("xx[a]yy[bb]zz"));
        }
    }
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

// Readers remember what they made of a set id within a generation: an id must never stand for
// other attributes under the same generation, whichever text it comes from.
TEST(AttributedText, ASetIdStandsForOneSetOfAttributesWithinAGeneration)
{
    std::map<std::pair<quint64, quint32>, TextAttributes> seen;
    auto expectConsistent = [&](const AttributedText& t) {
        t.enumerateRunSets({ 0, t.length() }, [&](TextSpan, quint32 set, const TextAttributes& a) {
            const auto [it, added] = seen.emplace(std::pair(t.setsGeneration(), set), a);
            EXPECT_TRUE(added || it->second == a) << "set " << set;
        });
    };
    AttributedText a(QStringLiteral("abcdefgh"));
    a.addAttribute<A::ForegroundColor>({ 0, 2 }, red());
    expectConsistent(a);
    AttributedText b = a;
    // Each interns a new set of its own, under the same next id.
    a.addAttribute<A::ForegroundColor>({ 4, 2 }, blue());
    b.addAttribute<A::Bullet>({ 4, 2 }, 1.0);
    expectConsistent(a);
    expectConsistent(b);
    AttributedText c = std::move(a);
    a = AttributedText(QStringLiteral("xyz"));
    a.addAttribute<A::Collapsed>({ 0, 1 }, true);
    expectConsistent(a);
    expectConsistent(c);
    const quint64 before = c.setsGeneration();
    c.setAttributes({ 0, c.length() }, {});
    c.addAttribute<A::Bullet>({ 1, 1 }, 2.0);
    EXPECT_NE(c.setsGeneration(), before);
    expectConsistent(c);
}

namespace {

// The reference: the text and every character's attributes, edited by the documented rules.
struct Model
{
    QString text;
    std::vector<TextAttributes> attributes;

    TextSpan clip(TextSpan r) const
    {
        const qsizetype start = std::clamp<qsizetype>(r.location, 0, text.size());
        return { start, std::clamp<qsizetype>(r.end(), start, text.size()) - start };
    }
    void replace(TextSpan r, const QString& s, const std::vector<TextAttributes>& a)
    {
        text.replace(r.location, r.length, s);
        attributes.erase(attributes.begin() + r.location, attributes.begin() + r.end());
        attributes.insert(attributes.begin() + r.location, a.begin(), a.end());
    }
};

std::vector<TextAttributes> attributesOf(const AttributedText& t)
{
    std::vector<TextAttributes> out;
    for (const TextRun& run : t.runs())
        out.insert(out.end(), size_t(run.range.length), run.attributes);
    return out;
}

// The model's maximal stretches of one property.
template <typename Key> std::vector<TextSpan> stretches(const Model& m, TextSpan range, Key key)
{
    std::vector<TextSpan> out;
    for (qsizetype i = range.location; i < range.end(); ++i) {
        if (i > range.location && key(m.attributes[size_t(i)]) == key(m.attributes[size_t(i - 1)]))
            ++out.back().length;
        else
            out.push_back({ i, 1 });
    }
    return out;
}

void expectMatches(const AttributedText& t, const Model& m, std::mt19937& rng)
{
    ASSERT_EQ(t.text(), m.text);
    ASSERT_EQ(attributesOf(t), m.attributes);
    const TextSpan whole { 0, m.text.size() };
    const std::vector<TextSpan> maximal
        = stretches(m, whole, [](const TextAttributes& a) { return a; });
    const std::vector<TextRun> runs = t.runs();
    ASSERT_EQ(runs.size(), maximal.size()); // equal neighbours always coalesce
    for (size_t i = 0; i < runs.size(); ++i)
        ASSERT_EQ(runs[i].range, maximal[i]);
    if (m.text.isEmpty())
        return;
    const qsizetype at = qsizetype(rng() % quint64(m.text.size()));
    TextSpan range;
    EXPECT_EQ(t.attributes(at, &range), m.attributes[size_t(at)]);
    EXPECT_TRUE(
        range.contains(at) && std::find(maximal.begin(), maximal.end(), range) != maximal.end());

    // One attribute's stretches over a random part, and its effective range at one offset.
    const qsizetype from = qsizetype(rng() % quint64(m.text.size()));
    const TextSpan part { from, qsizetype(rng() % quint64(m.text.size() - from + 1)) };
    auto colour = [](const TextAttributes& a) { return a.foregroundColor; };
    std::vector<TextSpan> seen;
    t.enumerateAttribute<A::ForegroundColor>(part, [&](TextSpan r, const QColor* c) {
        EXPECT_EQ(
            c ? std::optional<QColor>(*c) : std::nullopt, colour(m.attributes[size_t(r.location)]));
        seen.push_back(r);
    });
    EXPECT_EQ(seen, stretches(m, part, colour));
    const std::vector<TextSpan> bullets
        = stretches(m, whole, [](const TextAttributes& a) { return a.bullet; });
    const qreal* bullet = t.attribute<A::Bullet>(at, &range);
    EXPECT_EQ(
        bullet ? std::optional<qreal>(*bullet) : std::nullopt, m.attributes[size_t(at)].bullet);
    EXPECT_TRUE(
        range.contains(at) && std::find(bullets.begin(), bullets.end(), range) != bullets.end());
}

} // namespace

// A long random sequence of edits and attribute writes over random (also out-of-range) spans,
// checked after every step against one TextAttributes per character.
TEST(AttributedText, RandomEditsMatchAttributesPerCharacter)
{
    std::mt19937 rng(1234);
    auto below = [&](qsizetype n) { return n <= 0 ? 0 : qsizetype(rng() % quint64(n)); };
    const QColor colours[] = { red(), blue(), QColor::fromRgbF(0, 1, 0, 1) };
    const auto marker = std::make_shared<Marker>();
    auto randomAttributes = [&] {
        TextAttributes a;
        if (below(2))
            a.foregroundColor = colours[below(3)];
        if (below(3) == 0)
            a.bullet = qreal(below(2));
        if (below(3) == 0)
            a.collapsed = true;
        if (below(4) == 0)
            a.attachment = marker;
        return a;
    };
    auto randomSpan = [&](qsizetype n) {
        const qsizetype location = below(n + 5) - 2;
        return TextSpan(location, below(4) == 0 ? below(n + 3) - 1 : below(9));
    };
    auto randomPiece = [&](Model& piece) {
        const qsizetype length = below(7);
        for (qsizetype i = 0; i < length; ++i)
            piece.text += QChar(char16_t(u'a' + below(26)));
        const TextAttributes a = randomAttributes();
        piece.attributes.assign(size_t(length), a);
        const qsizetype split = below(length + 1);
        const TextAttributes b = randomAttributes();
        std::fill(piece.attributes.begin() + split, piece.attributes.end(), b);
        AttributedText t(piece.text, a);
        t.setAttributes({ split, length - split }, b);
        return t;
    };

    AttributedText t(QStringLiteral("The quick brown fox"));
    Model m { t.text(), std::vector<TextAttributes>(size_t(t.length())) };
    for (int step = 0; step < 3000; ++step) {
        const qsizetype n = m.text.size();
        const TextSpan span = randomSpan(n);
        const TextSpan r = m.clip(span);
        const int op = int(below(13));
        if (op == 0) {
            QString s(below(4), QChar(u'x'));
            TextAttributes inherited;
            if (r.length > 0 || r.location > 0)
                inherited = m.attributes[size_t(r.length > 0 ? r.location : r.location - 1)];
            else if (n > 0)
                inherited = m.attributes[0];
            t.replaceCharacters(span, s);
            m.replace(r, s, std::vector<TextAttributes>(size_t(s.size()), inherited));
        } else if (op == 1) {
            Model piece;
            const AttributedText pieceText = randomPiece(piece);
            t.replaceCharacters(span, pieceText);
            m.replace(r, piece.text, piece.attributes);
        } else if (op == 2) {
            // Ascending ranges, now and then one that overlaps or goes back and is skipped.
            const QString plain = QString(below(7), QLatin1Char('#'));
            std::vector<TextSpan> ranges;
            std::vector<TextSpan> applied;
            qsizetype p = 0;
            qsizetype at = 0;
            for (qsizetype k = below(4); k > 0; --k) {
                at += below(n / 3 + 2) - (below(6) == 0 ? 3 : 0);
                const TextSpan range(at, below(4));
                ranges.push_back(range);
                const TextSpan clipped = m.clip(range);
                if (clipped.location >= p) {
                    applied.push_back(clipped);
                    p = clipped.end();
                }
                at = range.end();
            }
            t.replaceRanges(ranges, plain);
            for (auto it = applied.rbegin(); it != applied.rend(); ++it)
                m.replace(*it, plain, std::vector<TextAttributes>(size_t(plain.size())));
        } else if (op == 3) {
            const AttributedText sub = t.subText(span);
            ASSERT_EQ(sub.text(), m.text.mid(r.location, r.length));
            ASSERT_EQ(attributesOf(sub),
                std::vector<TextAttributes>(
                    m.attributes.begin() + r.location, m.attributes.begin() + r.end()));
            if (n < 400) {
                t.append(sub);
                m.replace({ n, 0 }, sub.text(), attributesOf(sub));
            }
        } else if (op == 4 && n < 200) {
            const Model before = m;
            t.append(t);
            m.replace({ n, 0 }, before.text, before.attributes);
        } else if (op <= 6) {
            const QColor c = colours[below(3)];
            t.addAttribute<A::ForegroundColor>(span, c);
            for (qsizetype i = r.location; i < r.end(); ++i)
                m.attributes[size_t(i)].foregroundColor = c;
        } else if (op == 7) {
            const qreal b = qreal(below(2));
            t.addAttribute<A::Bullet>(span, b);
            for (qsizetype i = r.location; i < r.end(); ++i)
                m.attributes[size_t(i)].bullet = b;
        } else if (op == 8) {
            const TextAttribute k = below(2) ? A::ForegroundColor : A::Collapsed;
            t.removeAttribute(k, span);
            for (qsizetype i = r.location; i < r.end(); ++i) {
                if (k == A::ForegroundColor)
                    m.attributes[size_t(i)].foregroundColor.reset();
                else
                    m.attributes[size_t(i)].collapsed.reset();
            }
        } else if (op == 9) {
            const TextAttributes a = randomAttributes();
            t.addAttributes(span, a);
            for (qsizetype i = r.location; i < r.end(); ++i) {
                TextAttributes& c = m.attributes[size_t(i)];
                c.foregroundColor = a.foregroundColor ? a.foregroundColor : c.foregroundColor;
                c.bullet = a.bullet ? a.bullet : c.bullet;
                c.collapsed = a.collapsed ? a.collapsed : c.collapsed;
                c.attachment = a.attachment ? a.attachment : c.attachment;
            }
        } else if (op == 12) {
            // A restyled copy of a stretch put back, also somewhere else, over the end or over
            // the whole text (which drops every interned set).
            AttributedText copy = t.subText(below(8) == 0 ? TextSpan(0, n) : span);
            copy.addAttribute<A::ForegroundColor>(randomSpan(copy.length()), colours[below(3)]);
            copy.addAttributes(randomSpan(copy.length()), randomAttributes());
            const qsizetype at = below(5) == 0 ? -below(3)
                : below(3) == 0                ? below(n + 2)
                                               : r.location;
            t.setAttributesFrom(at, copy);
            const std::vector<TextAttributes> copied = attributesOf(copy);
            const TextSpan target = m.clip({ at, copy.length() });
            for (qsizetype i = target.location; i < target.end(); ++i)
                m.attributes[size_t(i)] = copied[size_t(i - at)];
        } else {
            const TextAttributes a = randomAttributes();
            const bool whole = below(8) == 0; // drops every interned set
            t.setAttributes(whole ? TextSpan(0, n) : span, a);
            const TextSpan target = whole ? TextSpan(0, n) : r;
            for (qsizetype i = target.location; i < target.end(); ++i)
                m.attributes[size_t(i)] = a;
        }
        if (m.text.size() > 600) {
            t.replaceCharacters({ 100, 300 }, QString());
            m.replace({ 100, 300 }, QString(), {});
        }
        ASSERT_NO_FATAL_FAILURE(expectMatches(t, m, rng)) << "step " << step;
        if (step % 50 == 0) {
            // Equal by value however differently built; unequal after one change.
            AttributedText rebuilt(m.text);
            for (qsizetype i = m.text.size() - 1; i >= 0; --i)
                rebuilt.setAttributes({ i, 1 }, m.attributes[size_t(i)]);
            ASSERT_TRUE(rebuilt == t) << "step " << step;
            AttributedText copy = t;
            copy.addAttribute<A::UnderlineStyle>({ below(t.length()), 1 }, 1);
            EXPECT_EQ(copy == t, t.length() == 0) << "step " << step;
            t = copy; // carry on with the copy, so copies get edited too
            t.removeAttribute(A::UnderlineStyle, { 0, t.length() });
        }
    }
}

// Keys typed and deleted near both ends of a long text, with the text copied and put into itself
// between them: the characters and attributes stay the ones the reference holds, and a copy
// taken before a change keeps the characters it had.
TEST(AttributedText, EditsNearEitherEndOfALongTextKeepCharactersAndCopies)
{
    std::mt19937 rng(99);
    auto below = [&](qsizetype n) { return n <= 0 ? 0 : qsizetype(rng() % quint64(n)); };
    QString start;
    for (int i = 0; i < 3000; ++i)
        start += QChar(char16_t(u'a' + i % 26));
    AttributedText t(start);
    t.addAttribute<A::ForegroundColor>({ 0, 40 }, red());
    Model m { start, attributesOf(t) };
    auto inheritedAt = [&](TextSpan range) {
        if (range.length > 0 || range.location > 0)
            return m.attributes[size_t(range.length > 0 ? range.location : range.location - 1)];
        return m.text.isEmpty() ? TextAttributes {} : m.attributes[0];
    };
    for (int step = 0; step < 2000; ++step) {
        const qsizetype n = m.text.size();
        // Mostly near the top, sometimes near the end, now and then anywhere.
        const int where = int(below(10));
        const qsizetype at = where < 6 ? below(qMin<qsizetype>(n, 50) + 1)
            : where < 9                ? n - below(qMin<qsizetype>(n, 50) + 1)
                                       : below(n + 1);
        const qsizetype removed = below(3) == 0 ? qMin<qsizetype>(below(40), n - at) : 0;
        const int kind = int(below(20));
        std::optional<AttributedText> held;
        QString heldText;
        if (kind == 0) {
            held = t; // shares the characters until one of the two changes
            heldText = m.text;
        }
        TextSpan range { at, removed };
        if (kind == 1 && n < 6000) {
            // The text put into itself.
            const Model before = m;
            t.replaceCharacters(range, t);
            m.replace(range, before.text, before.attributes);
        } else if (kind == 2) {
            // A stretch of its own characters as the new ones.
            const QString own = m.text.mid(below(n), below(30));
            const TextAttributes inherited = inheritedAt(range);
            t.replaceCharacters(range, own);
            m.replace(range, own, std::vector<TextAttributes>(size_t(own.size()), inherited));
        } else {
            const QString typed = below(4) == 0 ? QString(below(300), QLatin1Char('k'))
                                                : QString(below(3), QLatin1Char('x'));
            const TextAttributes inherited = inheritedAt(range);
            t.replaceCharacters(range, typed);
            m.replace(range, typed, std::vector<TextAttributes>(size_t(typed.size()), inherited));
        }
        if (held) {
            ASSERT_EQ(held->text(), heldText) << "step " << step;
        }
        if (m.text.size() > 20000) {
            t.replaceCharacters({ 0, 15000 }, QString());
            m.replace({ 0, 15000 }, QString(), {});
        }
        ASSERT_EQ(t.length(), m.text.size()) << "step " << step;
        if (step % 10 == 0 || step > 1990) {
            ASSERT_NO_FATAL_FAILURE(expectMatches(t, m, rng)) << "step " << step;
        }
        // The string is terminated where its characters end.
        ASSERT_EQ(t.text().utf16()[t.length()], u'\0') << "step " << step;
    }
}

TEST(AttributedText, RoomSharedWithTheFrontTakesKeysAtTheTopWithoutMovingTheRest)
{
    QString model;
    for (int i = 0; model.size() < 200'000; ++i)
        model += QStringLiteral("line %1\n").arg(i);
    QString held = model;
    held.reserve(model.size() + AttributedText::roomToGrow(model.size()));
    AttributedText t;
    t.setText(std::move(held));
    // A gap left open by an edit in the middle is closed first.
    t.replaceWithBareCharacters({ 100'000, 0 }, QStringLiteral("mid"));
    model.insert(100'000, QStringLiteral("mid"));
    t.shareRoomWithFront();
    ASSERT_EQ(t.text(), model);
    const QChar* last = t.text().constData() + t.length() - 1;
    for (int i = 0; i < 50; ++i) {
        t.replaceCharacters({ 3, 0 }, QStringLiteral("k"));
        model.insert(3, QStringLiteral("k"));
    }
    t.replaceCharacters({ 0, 2 }, QString());
    model.remove(0, 2);
    EXPECT_EQ(t.text().constData() + t.length() - 1, last);
    EXPECT_EQ(t.text(), model);
    EXPECT_EQ(t.runs().back().range.end(), model.size());
}

TEST(AttributedText, TypingAwayFromTheEndsOfALongTextKeepsEveryCharacterInPlace)
{
    // Edits through the gap kept in a long text, mixed with every other kind of reading and
    // writing, against a plain string of what the text must hold.
    QString model;
    for (int i = 0; model.size() < 300'000; ++i)
        model += QStringLiteral("line %1 of the text\n").arg(i);
    AttributedText t(model);
    t.addAttribute<A::ForegroundColor>({ 150'000, 10 }, red());
    std::mt19937 random(7);
    auto pick = [&](qsizetype from, qsizetype to) {
        return std::uniform_int_distribution<qsizetype>(from, to)(random);
    };
    qsizetype at = 100'000;
    for (int step = 0; step < 3000; ++step) {
        const int kind = int(pick(0, 99));
        if (kind < 70) { // typing and deleting near the last edit, now and then a jump
            at = kind < 2 ? pick(0, model.size())
                          : qBound<qsizetype>(0, at + pick(-40, 40), model.size());
            const qsizetype removed
                = kind % 3 == 0 ? qMin<qsizetype>(pick(0, 3), model.size() - at) : 0;
            const QString typed
                = kind % 5 == 0 ? QString() : QString(int(pick(1, 3)), QChar(u'a' + step % 26));
            t.replaceWithBareCharacters({ at, removed }, typed);
            model.replace(at, removed, typed);
            at += typed.size();
        } else if (kind < 85) { // a stretch read around the edit, or far from it
            const qsizetype from = kind < 80 ? qBound<qsizetype>(0, at - pick(0, 200), model.size())
                                             : pick(0, model.size());
            const qsizetype length = qMin<qsizetype>(pick(0, 300), model.size() - from);
            ASSERT_EQ(t.textView({ at, 20 }).toString(), model.mid(at, 20)) << step; // after it
            ASSERT_EQ(t.textView({ from, length }).toString(), model.mid(from, length)) << step;
            ASSERT_EQ(t.subText({ from, length }).text(), model.mid(from, length)) << step;
        } else if (kind < 90) { // attributes go on around the gap
            const qsizetype from = qBound<qsizetype>(0, at - 5, model.size());
            t.addAttribute<A::ForegroundColor>({ from, 10 }, blue());
            ASSERT_EQ(t.length(), model.size());
        } else if (kind < 93) { // a copy, edited apart from the original
            AttributedText copy = t;
            copy.replaceWithBareCharacters({ at, 0 }, QStringLiteral("copy"));
            ASSERT_EQ(copy.text(), QString(model).insert(at, QStringLiteral("copy"))) << step;
            ASSERT_EQ(copy.length(), model.size() + 4);
        } else if (kind < 95) { // the whole text, and the other ways of editing it
            ASSERT_EQ(t.text(), model) << step;
            t.replaceCharacters({ at, 0 }, QStringLiteral("X"));
            model.insert(at, QStringLiteral("X"));
        } else if (kind < 97) {
            AttributedText moved = std::move(t);
            t = std::move(moved);
        }
        ASSERT_EQ(t.length(), model.size()) << step;
    }
    ASSERT_EQ(t.text(), model);
    EXPECT_EQ(t.runs().back().range.end(), model.size());
}
