#include "markdown/CodeTokenizer.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quillon {

void PrintTo(const CodeTokenizer::Token& token, std::ostream* out)
{
    static const char* kinds[] = { "keyword", "string", "number", "comment" };
    *out << kinds[int(token.kind)] << "@" << token.range.location << "+" << token.range.length;
}

namespace {

using Kind = CodeTokenizer::TokenKind;
using Language = CodeTokenizer::Language;
using Tokens = QList<CodeTokenizer::Token>;

CodeTokenizer::Token tok(Kind kind, qsizetype location, qsizetype length)
{
    return { kind, TextRange { location, length } };
}

TEST(CodeTokenizerLanguage, ResolvesInfoStrings)
{
    struct Case
    {
        QString info;
        std::optional<Language> expected;
    };
    const QList<Case> cases {
        { QStringLiteral(" Python3 extra"), Language::Python },
        { QStringLiteral("TS"), Language::Javascript },
        { QStringLiteral("shellsession"), Language::Bash },
        { QStringLiteral("json5"), Language::Json }, { QStringLiteral("swift"), Language::Swift },
        { QStringLiteral("\tjs\n"), Language::Javascript },
        { QStringLiteral("yaml"), std::nullopt }, { QStringLiteral("c++"), std::nullopt },
        { QString(), std::nullopt }, { QStringLiteral("   "), std::nullopt },
        { QStringLiteral("py\tx"), std::nullopt }, // only blanks split
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodeTokenizer::language(c.info), c.expected) << c.info.toStdString();
}

TEST(CodeTokenizerLanguage, RawValuesRoundTripCaseSensitively)
{
    for (Language language : CodeTokenizer::allLanguages())
        EXPECT_EQ(CodeTokenizer::languageFromRawValue(CodeTokenizer::rawValue(language)), language);
    EXPECT_EQ(CodeTokenizer::languageFromRawValue(u"Python"), std::nullopt);
    EXPECT_EQ(CodeTokenizer::languageFromRawValue(u"py"), std::nullopt);
}

TEST(CodeTokenizerLimits, NoLanguageEmptyOrOversizedTextGivesNoTokens)
{
    EXPECT_TRUE(CodeTokenizer::tokenize(u"if x", std::nullopt).isEmpty());
    EXPECT_TRUE(CodeTokenizer::tokenize(u"", Language::Bash).isEmpty());
    const QString tooLong = QStringLiteral("if") + QString(19999, u' ');
    EXPECT_TRUE(CodeTokenizer::tokenize(tooLong, Language::Bash).isEmpty());
    const QString longest = QStringLiteral("if") + QString(19998, u' ');
    EXPECT_EQ(
        CodeTokenizer::tokenize(longest, Language::Bash), Tokens { tok(Kind::Keyword, 0, 2) });
}

struct TokenCase
{
    const char* name;
    Language language;
    QString code;
    Tokens expected;
};

void expectTokens(const QList<TokenCase>& cases)
{
    for (const TokenCase& c : cases)
        EXPECT_EQ(CodeTokenizer::tokenize(c.code, c.language), c.expected) << c.name;
}

TEST(CodeTokenizerStrings, QuotesEscapesAndLineEnds)
{
    expectTokens({
        { "bash single quotes do not escape", Language::Bash, QStringLiteral("echo 'a\\' b"),
            { tok(Kind::Keyword, 0, 4), tok(Kind::String, 5, 4) } },
        { "bash double quotes escape", Language::Bash, QStringLiteral("\"a\\\" b"),
            { tok(Kind::String, 0, 6) } },
        { "unterminated string stops before the line feed", Language::Python,
            QStringLiteral("'abc\nif"), { tok(Kind::String, 0, 4), tok(Kind::Keyword, 5, 2) } },
        { "trailing backslash ends the string at the text end", Language::Swift,
            QStringLiteral("\"ab\\"), { tok(Kind::String, 0, 4) } },
        { "backquote string in javascript", Language::Javascript, QStringLiteral("`x${y}`;"),
            { tok(Kind::String, 0, 7) } },
        { "backquote is no string in swift", Language::Swift, QStringLiteral("`x`"), {} },
        { "comment marker inside a string", Language::Javascript, QStringLiteral("'//' x"),
            { tok(Kind::String, 0, 4) } },
        { "quotes inside a comment", Language::Python, QStringLiteral("# it's\n\"s\""),
            { tok(Kind::Comment, 0, 6), tok(Kind::String, 7, 3) } },
        { "surrogate pair inside a string", Language::Json, QStringLiteral("\"\U0001F600\""),
            { tok(Kind::String, 0, 4) } },
    });
}

TEST(CodeTokenizerComments, LineAndBlockComments)
{
    expectTokens({
        { "hash after a word", Language::Bash, QStringLiteral("ls#x\ncd"),
            { tok(Kind::Comment, 2, 2), tok(Kind::Keyword, 5, 2) } },
        { "python hash comment to line end", Language::Python, QStringLiteral("x # if\nif"),
            { tok(Kind::Comment, 2, 4), tok(Kind::Keyword, 7, 2) } },
        { "json line comment", Language::Json, QStringLiteral("// c\nnull"),
            { tok(Kind::Comment, 0, 4), tok(Kind::Keyword, 5, 4) } },
        { "json block comment", Language::Json, QStringLiteral("/* a */true"),
            { tok(Kind::Comment, 0, 7), tok(Kind::Keyword, 7, 4) } },
        { "slash star slash does not close itself", Language::Swift, QStringLiteral("/*/ x */ y"),
            { tok(Kind::Comment, 0, 8) } },
        { "unclosed block comment runs to the end", Language::Javascript,
            QStringLiteral("a /* b\nc"), { tok(Kind::Comment, 2, 6) } },
        { "no block comments in bash", Language::Bash, QStringLiteral("/* if */"),
            { tok(Kind::Keyword, 3, 2) } },
    });
}

TEST(CodeTokenizerNumbersAndWords, WordBoundariesDecide)
{
    expectTokens({
        { "identifier with digits", Language::Python, QStringLiteral("x1"), {} },
        { "number after a dot", Language::Python, QStringLiteral("a.5"),
            { tok(Kind::Number, 2, 1) } },
        { "dotted run is one number", Language::Python, QStringLiteral("1..2"),
            { tok(Kind::Number, 0, 4) } },
        { "version-like run", Language::Swift, QStringLiteral("1.2.3"),
            { tok(Kind::Number, 0, 5) } },
        { "hex and exponent are no numbers", Language::Javascript, QStringLiteral("0x1F 1e5"), {} },
        { "minus sign is not part of the number", Language::Json, QStringLiteral("-3"),
            { tok(Kind::Number, 1, 1) } },
        { "digits before a letter are skipped one by one", Language::Python, QStringLiteral("2in"),
            { tok(Kind::Keyword, 1, 2) } },
        { "keywords only as whole words", Language::Swift, QStringLiteral("format for"),
            { tok(Kind::Keyword, 7, 3) } },
        { "dollar and underscore are word characters", Language::Javascript,
            QStringLiteral("$if _if if_"), {} },
        { "json keywords are case-sensitive", Language::Json, QStringLiteral("True true"),
            { tok(Kind::Keyword, 5, 4) } },
        { "typescript names in javascript", Language::Javascript,
            QStringLiteral("interface T satisfies"),
            { tok(Kind::Keyword, 0, 9), tok(Kind::Keyword, 12, 9) } },
        { "nothing to colour", Language::Bash, QStringLiteral("ls -la /tmp"), {} },
    });
}

TEST(CodeTokenizerInvariants, TokensAscendAndNeverOverlap)
{
    const QString code
        = QStringLiteral("def f(x):  # comment 'q'\n    return \"s\\\"\" + 'it''s' + 3.14 # end\n"
                         "/* not python */ async with 12abc 0.5 \"unterminated\n");
    for (Language language : CodeTokenizer::allLanguages()) {
        const Tokens tokens = CodeTokenizer::tokenize(code, language);
        qsizetype end = 0;
        for (const auto& token : tokens) {
            EXPECT_GE(token.range.location, end);
            EXPECT_GT(token.range.length, 0);
            end = token.range.end();
        }
        EXPECT_LE(end, code.size());
    }
}

} // namespace
} // namespace quillon
