#include "workspace/TokenCounter.h"
#include "workspace/GraphemeClusters.h"

#include <QRandomGenerator>
#include <QStringList>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct Case
{
    const char* name;
    QString text;
    qint64 tokens;
};

void expectEstimates(const QList<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(TokenCounter::estimate(c.text), c.tokens) << c.name;
}

TEST(TokenCounterWords, LengthAndKindRules)
{
    expectEstimates({
        { "empty", QString(), 0 },
        { "two five-letter words", QStringLiteral("hello world"), 2 },
        { "twenty letters", QStringLiteral("abcdefghijklmnopqrst"), 5 },
        { "seven letters", QStringLiteral("abcdefg"), 1 },
        { "eight letters", QStringLiteral("abcdefgh"), 2 },
        { "eight digits", QStringLiteral("12345678"), 3 },
        { "seven digits", QStringLiteral("1234567"), 2 },
        { "one digit", QStringLiteral("7"), 1 },
        { "mixed letters and digits use the word rule", QStringLiteral("abc12345"), 2 },
        { "thousands separator splits the number", QStringLiteral("1,000,000"), 5 },
        { "decimal point splits the number", QStringLiteral("3.14159"), 4 },
        { "underscore joins halves", QStringLiteral("hello_world"), 4 },
        { "letter dot letter", QStringLiteral("a.b"), 3 },
        { "symbols count one", QStringLiteral("a + b"), 3 },
        { "whitespace only", QStringLiteral(" \t\r\n "), 0 },
    });
}

TEST(TokenCounterMarkup, HeadingsEmphasisBracketsAndCode)
{
    expectEstimates({
        { "heading marker", QStringLiteral("# Hello"), 2 },
        { "heading after a line feed", QStringLiteral("a\n# b"), 3 },
        { "hash inside a line is punctuation", QStringLiteral("abc#def"), 3 },
        { "strong emphasis pairs", QStringLiteral("**bold**"), 3 },
        { "emphasis does not split the word", QStringLiteral("*abcd*efgh"), 4 },
        { "brackets flush", QStringLiteral("[link](url)"), 6 },
        { "inline code", QStringLiteral("`code`"), 3 },
        { "fenced block", QStringLiteral("```\nlet x = 1\n```"), 6 },
        { "code words use the code rule", QStringLiteral("```\nabcdefghijkl\n```"), 6 },
        { "punctuation stays inside a code word", QStringLiteral("`a.b.c.d`"), 3 },
        { "unclosed fence counts the rest as code", QStringLiteral("```\nabcdefghi"), 4 },
        { "backtick inside a fence toggles inline code", QStringLiteral("```\n`x`\n```"), 5 },
        { "two backticks are two singles", QStringLiteral("``x``"), 5 },
        { "fence needs three in a row at the end", QStringLiteral("ab``"), 3 },
    });
}

TEST(TokenCounterGraphemes, CountsUserPerceivedCharacters)
{
    expectEstimates({
        { "combining accents keep a word short",
            QStringLiteral("e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301"), 1 },
        { "precomposed and decomposed agree", QStringLiteral("caf\u00e9s"), 1 },
        { "family emoji is one symbol",
            QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"), 1 },
        { "flags pair up", QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"), 2 },
        { "CJK letters form one word",
            QStringLiteral("\u6F22\u5B57\u304B\u306A\u6F22\u5B57\u304B\u306A"), 2 },
        { "non-ASCII digits are numbers",
            QStringLiteral("\u0661\u0662\u0663\u0664\u0665\u0666\u0667\u0668"), 3 },
        { "combining mark on a backtick is no backtick", QStringLiteral("`\u0301abc"), 2 },
        { "combining mark on an asterisk", QStringLiteral("ab*\u0301cd"), 3 },
        { "CRLF is one white space", QStringLiteral("a\r\n# b"), 3 },
        { "emoji after Devanagari stays whole", QStringLiteral("\u0937\U0001F467"), 2 },
        { "CRLF inside Devanagari text stays one break", QStringLiteral("\u0937\r\n#"), 2 },
        { "emoji in code is part of the word", QStringLiteral("`\U0001F600\U0001F600\U0001F600`"),
            3 },
    });
}

TEST(TokenCounterGraphemes, ClassesAndClustersFollowUnicode)
{
    expectEstimates({
        { "circled letters are letters", QStringLiteral("\u24B6\u24B7\u24B8"), 1 },
        { "a vowel sign starting a character is a letter", QStringLiteral("\u093Fab"), 1 },
        { "CJK numerals are numbers", QStringLiteral("\u4E00\u4E8C\u4E09\u56DB"), 2 },
        { "superscript digits are numbers", QStringLiteral("\u00B2\u00B3\u00B9\u00B2\u00B3"), 2 },
        { "a flag after another emoji stays whole",
            QStringLiteral("ok \U0001F44D\U0001F1EB\U0001F1F7 done"), 4 },
        { "a skin tone after Devanagari stays with its emoji",
            QStringLiteral("\u0928\u092E\u0938\u094D\u0924\u0947 \U0001F64F\U0001F3FD"), 2 },
        { "a keycap after Thai is one number",
            QStringLiteral("\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35 1\uFE0F\u20E3"), 2 },
        { "a ZWJ sequence after Thai is one symbol",
            QStringLiteral("\u0E01\U0001F469\u200D\U0001F4BB"), 2 },
        { "a mark on a symbol after a word", QStringLiteral("z|\u0D00"), 2 },
        { "a spacing mark on a blank after a word", QStringLiteral("p \u093F"), 1 },
        { "a ZWJ sequence before Devanagari",
            QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u0928\u092E"), 2 },
    });
}

TEST(GraphemeClusters, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(graphemeClusterCount(QString()), 0);
    EXPECT_EQ(graphemeClusterCount(QStringLiteral("\U0001F600 \u00E9")), 3);
    EXPECT_EQ(graphemeClusterCount(QStringLiteral("\U0001F600 e\u0301")), 3);
    EXPECT_EQ(graphemeClusterCount(QStringLiteral("a\r\nb")), 3);
    EXPECT_EQ(graphemeClusterCount(QStringLiteral("\U0001F1EB\U0001F1F7\U0001F1E9")), 2);
    EXPECT_EQ(graphemeClusterCount(QStringLiteral("plain ascii")), 11);
}

// The rules written plainly over a text segmented whole by ICU, to check the single pass, which
// skips segmenting plain ASCII and segments the rest in stretches.
qint64 referenceEstimate(const QString& text)
{
    QStringList characters;
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* breaks = ubrk_open(UBRK_CHARACTER, "",
        reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status));
    for (int32_t start = ubrk_first(breaks), end = ubrk_next(breaks); end != UBRK_DONE;
         start = end, end = ubrk_next(breaks))
        characters.append(text.mid(start, end - start));
    ubrk_close(breaks);
    auto firstCodePoint = [](const QString& c) { return UChar32(c.toUcs4().value(0)); };
    auto isNumber = [&](const QString& c) {
        return u_getIntPropertyValue(firstCodePoint(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
    };
    auto isLetter = [&](const QString& c) {
        return bool(u_hasBinaryProperty(firstCodePoint(c), UCHAR_ALPHABETIC));
    };
    auto isPunct = [&](const QString& c) { return bool(u_ispunct(firstCodePoint(c))); };
    auto isSpace = [&](const QString& c) { return bool(u_isUWhiteSpace(firstCodePoint(c))); };
    qint64 total = 0;
    QStringList word;
    bool block = false;
    bool inlineCode = false;
    auto ordinary = [&] {
        if (word.isEmpty())
            return;
        const qint64 n = word.size();
        if (std::all_of(word.begin(), word.end(), isNumber))
            total += std::max<qint64>(1, qint64(std::ceil(double(n) / 3.5)));
        else
            total += n < 8 ? 1 : std::max<qint64>(1, qint64(std::ceil(double(n) / 4)));
        word.clear();
    };
    auto code = [&] {
        if (!word.isEmpty())
            total += std::max<qint64>(1, word.size() / 3);
        word.clear();
    };
    const QString tick = QStringLiteral("`");
    qsizetype i = 0;
    while (i < characters.size()) {
        const QString& c = characters[i];
        if (c == tick && i + 2 < characters.size() && characters[i + 1] == tick
            && characters[i + 2] == tick) {
            ordinary();
            ++total;
            block = !block;
            i += 3;
        } else if (c == tick) {
            ordinary();
            ++total;
            inlineCode = !inlineCode;
            ++i;
        } else if (block || inlineCode) {
            if (isSpace(c))
                code();
            else
                word.append(c);
            ++i;
        } else if (c == u"#"
            && (i == 0 || characters[i - 1] == u"\n" || characters[i - 1] == u"\r")) {
            ++total;
            ++i;
        } else if (c == u"*" && i + 1 < characters.size() && characters[i + 1] == u"*") {
            ++total;
            i += 2;
        } else if (c == u"*" || c == u"_") {
            ++total;
            ++i;
        } else if (c == u"[" || c == u"]" || c == u"(" || c == u")") {
            ordinary();
            ++total;
            ++i;
        } else if (isLetter(c) || isNumber(c)) {
            word.append(c);
            ++i;
        } else if (isPunct(c)) {
            ordinary();
            ++total;
            ++i;
        } else if (isSpace(c)) {
            ordinary();
            ++i;
        } else {
            ordinary();
            ++total;
            ++i;
        }
    }
    if (block || inlineCode)
        code();
    else
        ordinary();
    return total;
}

TEST(TokenCounterDifferential, MatchesThePlainRulesOnVariedText)
{
    const QStringList pieces {
        QStringLiteral("word"),
        QStringLiteral("longerword"),
        QStringLiteral(" "),
        QStringLiteral("\n"),
        QStringLiteral("\r\n"),
        QStringLiteral("\r"),
        QStringLiteral("\t"),
        QStringLiteral("`"),
        QStringLiteral("```"),
        QStringLiteral("*"),
        QStringLiteral("**"),
        QStringLiteral("_"),
        QStringLiteral("#"),
        QStringLiteral("# "),
        QStringLiteral("["),
        QStringLiteral(")"),
        QStringLiteral("."),
        QStringLiteral(","),
        QStringLiteral("+"),
        QStringLiteral("|"),
        QStringLiteral("12345"),
        QStringLiteral("1_000"),
        QStringLiteral("caf\u00e9"),
        QStringLiteral("e\u0301"),
        QStringLiteral("\u0301"),
        QStringLiteral("\u6F22\u5B57"),
        QStringLiteral("\u304B"),
        QStringLiteral("\U0001F600"),
        QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"),
        QStringLiteral("\u200D"),
        QStringLiteral("\U0001F1E9"),
        QStringLiteral("\U0001F3FD"),
        QStringLiteral("\uFE0F"),
        QStringLiteral("\u0661\u0662"),
        QStringLiteral("\u0600"),
        QStringLiteral("\u00A0"),
        QStringLiteral("\u2029"),
        QString(QChar(0xD800)),
        QString(QChar(0xDC00)),
        QStringLiteral("\u1100\u1161\u11A8"),
        QStringLiteral("\u00B2"),
        QStringLiteral("\u2014"),
        QStringLiteral("\u201C"),
        QStringLiteral("\u0928\u092E\u0938\u094D\u0924\u0947"),
        QStringLiteral("\u093F"),
        QStringLiteral("\u094D"),
        QStringLiteral("\u0E2A\u0E27\u0E31"),
        QStringLiteral("\u0E33"),
        QStringLiteral("\U0001F64F\U0001F3FD"),
        QStringLiteral("1\uFE0F\u20E3"),
        QStringLiteral("\u20E3"),
        QStringLiteral("\U0001F44D"),
        QStringLiteral("\u0D00"),
        QStringLiteral("\u24B6"),
        QStringLiteral("\u4E00\u4E8C"),
        QStringLiteral("\u1160"),
        QStringLiteral("\uAC00"),
    };
    QRandomGenerator random(20261206);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int count = int(random.bounded(1, 40));
        for (int i = 0; i < count; ++i)
            text += pieces[random.bounded(int(pieces.size()))];
        if (TokenCounter::estimate(text) != referenceEstimate(text)) {
            // Shrink to a minimal failing text to make the report readable.
            for (bool shrunk = true; shrunk;) {
                shrunk = false;
                for (qsizetype i = 0; i < text.size(); ++i) {
                    QString shorter = text;
                    shorter.remove(i, 1);
                    if (TokenCounter::estimate(shorter) != referenceEstimate(shorter)) {
                        text = shorter;
                        shrunk = true;
                        break;
                    }
                }
            }
            QStringList units;
            for (QChar c : text)
                units.append(QString::number(c.unicode(), 16));
            FAIL() << "round " << round << ": " << units.join(u' ').toStdString() << " gives "
                   << TokenCounter::estimate(text) << ", expected " << referenceEstimate(text);
        }
    }
}

// A long text estimated a stretch at a time comes to what it comes to whole, with code blocks,
// inline code and words running on over the places the stretches end.
TEST(TokenCounterDifferential, ALongTextInStretchesMatchesTheWhole)
{
    const QStringList pieces = { QStringLiteral("word "), QStringLiteral("\n"),
        QStringLiteral("```\n"), QStringLiteral("`inline "), QStringLiteral("**bold** "),
        QStringLiteral("\n# heading\n"), QStringLiteral("12345"), QStringLiteral("\r\n"),
        QStringLiteral("\u6F22\u5B57"), QStringLiteral("\U0001F468\u200D\U0001F469"),
        QStringLiteral("[link](x) "), QStringLiteral("longwordwithoutend") };
    QRandomGenerator random(5);
    QString text;
    while (text.size() < 3 * (1 << 20))
        text += pieces.at(int(random.bounded(pieces.size())));
    EXPECT_EQ(TokenCounter::estimate(ChunkedText(text)), TokenCounter::estimate(text));
    const QString open = text + QStringLiteral("```\ncode");
    EXPECT_EQ(TokenCounter::estimate(ChunkedText(open)), TokenCounter::estimate(open));
}

} // namespace
} // namespace quillon
