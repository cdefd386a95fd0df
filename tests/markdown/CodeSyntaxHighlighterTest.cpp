#include "markdown/CodeSyntaxHighlighter.h"

#include <gtest/gtest.h>

#include <QGlyphRun>
#include <QTextLayout>

using namespace quillon;
using A = TextAttribute;

namespace {

QColor rgb(qreal r, qreal g, qreal b)
{
    return QColor::fromRgbF(r, g, b, 1);
}

QColor grey(qreal g)
{
    return QColor::fromRgbF(g, g, g, 1);
}

AttributedText coloured(const QString& text, bool dark = false)
{
    AttributedText storage(text);
    CodeSyntaxHighlighter::highlight(storage, dark, 14);
    return storage;
}

QColor colourAt(const AttributedText& s, qsizetype i)
{
    const QColor* c = s.attribute<A::ForegroundColor>(i);
    return c ? *c : QColor();
}

} // namespace

TEST(CodeSyntaxHighlighter, EmptyTextStaysUntouched)
{
    AttributedText storage;
    CodeSyntaxHighlighter::highlight(storage, true, 14);
    EXPECT_TRUE(storage.runs().empty());
}

TEST(CodeSyntaxHighlighter, YamlDetection)
{
    EXPECT_TRUE(CodeSyntaxHighlighter::detectYAML(u"a: 1\nb: 2\n"));
    EXPECT_FALSE(CodeSyntaxHighlighter::detectYAML(u"a: 1\nplain\n"));
    EXPECT_FALSE(CodeSyntaxHighlighter::detectYAML(u"name:\nother:\n"));
    QString late;
    for (int i = 0; i < 10; ++i)
        late += i == 0 ? QStringLiteral("a: 1\n") : QStringLiteral("text\n");
    late += QStringLiteral("b: 2\n");
    EXPECT_FALSE(CodeSyntaxHighlighter::detectYAML(late));
    // CR LF counts as two breaks here: the second key falls on line 3, still within ten.
    EXPECT_TRUE(CodeSyntaxHighlighter::detectYAML(u"a: 1\r\nb: 2\r\n"));
}

TEST(CodeSyntaxHighlighter, FrontMatterDocumentIsColouredAsYaml)
{
    const QString text = QStringLiteral("---\ntitle: x\n---\n# Heading");
    const AttributedText s = coloured(text);
    EXPECT_EQ(colourAt(s, 0), grey(0.45));
    EXPECT_EQ(colourAt(s, 4), rgb(0.6, 0.1, 0.7));
    EXPECT_EQ(colourAt(s, 9), grey(0.1)); // the colon and value keep the text colour
    EXPECT_EQ(colourAt(s, 13), grey(0.45));
    EXPECT_EQ(colourAt(s, text.indexOf(u"Heading")), grey(0.45)); // a comment to YAML
    EXPECT_EQ(*s.attribute<A::Font>(0), CodeSyntaxHighlighter::sourceFont(14));
    EXPECT_EQ(s.attribute<A::ParagraphStyle>(0)->lineSpacing, 4);
}

TEST(CodeSyntaxHighlighter, MarkdownPasses)
{
    const QString text = QStringLiteral(
        "# Title\n**b** *i* _u_ ~~s~~ `c`\n[text](url)\n1. item\n- item\n> quote\n---\n");
    const AttributedText s = coloured(text);
    const QColor symbol = rgb(0.2, 0.3, 0.8);
    EXPECT_EQ(colourAt(s, 0), symbol);
    EXPECT_EQ(colourAt(s, 2), rgb(0.8, 0.35, 0.0));
    const qsizetype bold = text.indexOf(u"**b**");
    EXPECT_EQ(colourAt(s, bold), symbol);
    EXPECT_EQ(colourAt(s, bold + 2), grey(0.1));
    EXPECT_EQ(colourAt(s, bold + 4), symbol);
    EXPECT_EQ(colourAt(s, text.indexOf(u"*i*")), symbol);
    EXPECT_EQ(colourAt(s, text.indexOf(u"_u_") + 2), symbol);
    EXPECT_EQ(colourAt(s, text.indexOf(u"`c`") + 1), rgb(0.8, 0.2, 0.3));
    EXPECT_EQ(colourAt(s, text.indexOf(u"text")), rgb(0.0, 0.4, 0.8));
    EXPECT_EQ(colourAt(s, text.indexOf(u"url")), grey(0.45));
    EXPECT_EQ(colourAt(s, text.indexOf(u"[")), grey(0.1));
    EXPECT_EQ(colourAt(s, text.indexOf(u"1.")), symbol);
    EXPECT_EQ(colourAt(s, text.indexOf(u"- item")), symbol);
    EXPECT_EQ(colourAt(s, text.indexOf(u"> ") + 1), symbol);
    EXPECT_EQ(colourAt(s, text.indexOf(u"---")), grey(0.45));

    const AttributedText notHeadings = coloured(QStringLiteral("####### seven\n#x\n"));
    EXPECT_EQ(colourAt(notHeadings, 0), grey(0.1));
    EXPECT_EQ(colourAt(notHeadings, 15), grey(0.1));
}

TEST(CodeSyntaxHighlighter, DarkAndLightColourTheSameRanges)
{
    const QString text = QStringLiteral("# T\n```\ncode\n```\n");
    const AttributedText dark = coloured(text, true);
    const AttributedText light = coloured(text, false);
    EXPECT_EQ(colourAt(dark, 2), rgb(1.0, 0.78, 0.48));
    EXPECT_EQ(colourAt(light, 2), rgb(0.8, 0.35, 0.0));
    EXPECT_EQ(colourAt(dark, text.indexOf(u"code")), rgb(1.0, 0.6, 0.6));
    EXPECT_EQ(colourAt(light, text.indexOf(u"code")), rgb(0.8, 0.2, 0.3));
    std::vector<TextSpan> darkRuns;
    std::vector<TextSpan> lightRuns;
    for (const TextRun& r : dark.runs())
        darkRuns.push_back(r.range);
    for (const TextRun& r : light.runs())
        lightRuns.push_back(r.range);
    EXPECT_EQ(darkRuns, lightRuns);
}

TEST(CodeSyntaxHighlighter, ReplacesEarlierAttributes)
{
    AttributedText storage(QStringLiteral("find me"));
    storage.addAttribute<A::BackgroundColor>({ 0, 4 }, grey(0.5));
    CodeSyntaxHighlighter::highlight(storage, false, 14);
    EXPECT_FALSE(storage.hasAttribute(A::BackgroundColor, 0));
}

TEST(CodeSyntaxHighlighter, SpansStopAtLineBreaksButHeadingBlanksDoNot)
{
    const QColor symbol = rgb(0.2, 0.3, 0.8);
    for (const char16_t* br : { u"\n", u"\r", u"\u2028", u"\f" }) {
        const QString text = u"**a"_qs + QString::fromUtf16(br) + u"b** ~~c"_qs
            + QString::fromUtf16(br) + u"d~~"_qs;
        const AttributedText s = coloured(text);
        EXPECT_EQ(colourAt(s, 0), grey(0.1)) << int(br[0]);
        EXPECT_EQ(colourAt(s, text.indexOf(u"~~")), grey(0.1)) << int(br[0]);
    }
    // "\s+" after the "#" run takes the line break: the next line becomes heading text.
    const AttributedText h = coloured(QStringLiteral("#\nTitle\n"));
    EXPECT_EQ(colourAt(h, 0), symbol);
    EXPECT_EQ(colourAt(h, 2), rgb(0.8, 0.35, 0.0));
    // Vertical tab and form feed split lines for the YAML test too.
    EXPECT_TRUE(CodeSyntaxHighlighter::detectYAML(u"a: 1\fb: 2"));
}

TEST(CodeSyntaxHighlighter, TheSourceFontDrawsEachCharacterAsItself)
{
    // "<!--" and "->" must not turn into arrow ligatures: each character keeps its own glyph.
    const QFont font = CodeSyntaxHighlighter::sourceFont(15);
    const auto glyphs = [&](const QString& text) {
        QTextLayout layout(text, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QList<quint32> out;
        for (const QGlyphRun& run : layout.glyphRuns())
            out += run.glyphIndexes();
        return out;
    };
    for (const QString& text :
        { QStringLiteral("<!--"), QStringLiteral("->"), QStringLiteral("!=") }) {
        QList<quint32> separately;
        for (const QChar c : text)
            separately += glyphs(QString(c));
        EXPECT_EQ(glyphs(text), separately) << text.toStdString();
    }
}
