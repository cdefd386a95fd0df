#include "markdown/CodeSyntaxHighlighter.h"

#include "platform/TextLines.h"

#include <QFontDatabase>
#include <QRegularExpression>

namespace quillon {

namespace {

using A = TextAttribute;

struct SourceColors
{
    QColor text, keyword, string, comment, markdownSymbol, heading, link, code;
};

SourceColors colors(bool dark)
{
    auto grey = [](qreal g) { return QColor::fromRgbF(g, g, g, 1); };
    auto rgb = [](qreal r, qreal g, qreal b) { return QColor::fromRgbF(r, g, b, 1); };
    if (dark) {
        return { grey(0.96), rgb(0.9, 0.55, 0.95), rgb(0.6, 0.9, 0.6), grey(0.65),
            rgb(0.7, 0.8, 1.0), rgb(1.0, 0.78, 0.48), rgb(0.5, 0.78, 1.0), rgb(1.0, 0.6, 0.6) };
    }
    return { grey(0.1), rgb(0.6, 0.1, 0.7), rgb(0.13, 0.55, 0.13), grey(0.45), rgb(0.2, 0.3, 0.8),
        rgb(0.8, 0.35, 0.0), rgb(0.0, 0.4, 0.8), rgb(0.8, 0.2, 0.3) };
}

QRegularExpression compile(const char16_t* pattern, bool anchorsMatchLines = false)
{
    // "(*ANY)": every Unicode line terminator ends a line for "." and the anchors.
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (anchorsMatchLines)
        options |= QRegularExpression::MultilineOption;
    QRegularExpression re(QStringLiteral("(*ANY)") + QString::fromUtf16(pattern), options);
    re.optimize();
    return re;
}

struct Patterns
{
    QRegularExpression yamlKeyLine = compile(uR"(^[a-zA-Z_][a-zA-Z0-9_]*:\s)");
    QRegularExpression yamlComment = compile(u"#.*$", true);
    QRegularExpression yamlKey = compile(uR"(^\s*([a-zA-Z_][a-zA-Z0-9_]*):)", true);
    QRegularExpression yamlString = compile(uR"("[^"]*"|'[^']*')");
    QRegularExpression yamlDocument = compile(uR"(^(---|\.\.\.)$)", true);
    QRegularExpression fence = compile(uR"((?m)^```[\s\S]*?^```)");
    QRegularExpression heading = compile(uR"((?m)^(#{1,6})\s+(.*)$)");
    QRegularExpression inlineCode = compile(u"`([^`\n]+)`");
    QRegularExpression bold = compile(uR"(\*\*(.*?)\*\*)");
    QRegularExpression italic
        = compile(u"(?<!\\*)\\*(?!\\*)([^*\n]+)(?<!\\*)\\*(?!\\*)|_([^_\n]+)_");
    QRegularExpression strike = compile(uR"(~~(.*?)~~)");
    QRegularExpression link = compile(uR"(\[([^\]]+)\]\(([^\)]+)\))");
    QRegularExpression listMarker = compile(uR"((?m)^\s*([\-\*\+]|\d+\.)\s)");
    QRegularExpression quoteMarker = compile(uR"((?m)^>\s?)");
    QRegularExpression rule = compile(uR"((?m)^(---|\*\*\*|___)$)");

    static const Patterns& shared()
    {
        static const Patterns patterns;
        return patterns;
    }
};

// The text to match, checked once for unpaired surrogates instead of once per pass.
struct Subject
{
    const QString& text;
    QRegularExpression::MatchOptions options;
};

template <typename Visit>
void forEachMatch(const QRegularExpression& re, const Subject& text, Visit&& visit)
{
    if (!re.isValid())
        return;
    auto it = re.globalMatch(text.text, 0, QRegularExpression::NormalMatch, text.options);
    while (it.hasNext())
        visit(it.next());
}

void colourGroup(AttributedText& s, const QRegularExpressionMatch& m, int group, const QColor& c)
{
    if (m.capturedStart(group) >= 0 && m.capturedLength(group) > 0)
        s.addAttribute<A::ForegroundColor>({ m.capturedStart(group), m.capturedLength(group) }, c);
}

void highlightYAML(AttributedText& s, const Subject& text, const SourceColors& c)
{
    const Patterns& p = Patterns::shared();
    forEachMatch(p.yamlComment, text, [&](const auto& m) { colourGroup(s, m, 0, c.comment); });
    forEachMatch(p.yamlKey, text, [&](const auto& m) { colourGroup(s, m, 1, c.keyword); });
    forEachMatch(p.yamlString, text, [&](const auto& m) { colourGroup(s, m, 0, c.string); });
    forEachMatch(p.yamlDocument, text, [&](const auto& m) { colourGroup(s, m, 0, c.comment); });
}

// The first `head` and last `tail` units of a match.
void colourEnds(
    AttributedText& s, const QRegularExpressionMatch& m, qsizetype units, const QColor& c)
{
    const qsizetype start = m.capturedStart(0);
    const qsizetype length = m.capturedLength(0);
    s.addAttribute<A::ForegroundColor>({ start, qMin(units, length) }, c);
    s.addAttribute<A::ForegroundColor>(
        { start + qMax<qsizetype>(0, length - units), qMin(units, length) }, c);
}

void highlightMarkdown(AttributedText& s, const Subject& text, const SourceColors& c)
{
    const Patterns& p = Patterns::shared();
    forEachMatch(p.fence, text, [&](const auto& m) { colourGroup(s, m, 0, c.code); });
    forEachMatch(p.heading, text, [&](const auto& m) {
        colourGroup(s, m, 1, c.markdownSymbol);
        colourGroup(s, m, 2, c.heading);
    });
    forEachMatch(p.inlineCode, text, [&](const auto& m) { colourGroup(s, m, 0, c.code); });
    forEachMatch(p.bold, text, [&](const auto& m) { colourEnds(s, m, 2, c.markdownSymbol); });
    forEachMatch(p.italic, text, [&](const auto& m) { colourEnds(s, m, 1, c.markdownSymbol); });
    forEachMatch(p.strike, text, [&](const auto& m) { colourEnds(s, m, 2, c.markdownSymbol); });
    forEachMatch(p.link, text, [&](const auto& m) {
        colourGroup(s, m, 1, c.link);
        colourGroup(s, m, 2, c.comment);
    });
    forEachMatch(
        p.listMarker, text, [&](const auto& m) { colourGroup(s, m, 1, c.markdownSymbol); });
    forEachMatch(
        p.quoteMarker, text, [&](const auto& m) { colourGroup(s, m, 0, c.markdownSymbol); });
    forEachMatch(p.rule, text, [&](const auto& m) { colourGroup(s, m, 0, c.comment); });
}

} // namespace

QColor CodeSyntaxHighlighter::textColor(bool isDarkMode)
{
    return colors(isDarkMode).text;
}

QFont CodeSyntaxHighlighter::sourceFont(qreal size)
{
    static const bool hasJetBrains
        = QFontDatabase::families().contains(QStringLiteral("JetBrains Mono"));
    QFont font = hasJetBrains ? QFont(QStringLiteral("JetBrains Mono"))
                              : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    // The source pane shows the characters as typed: the font's ligatures would draw "<!--" or
    // "->" as arrows.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPixelSize(qMax(1, qRound(size)));
    font.setWeight(QFont::Normal);
    return font;
}

bool CodeSyntaxHighlighter::detectYAML(QStringView text)
{
    const QRegularExpression& keyLine = Patterns::shared().yamlKeyLine;
    int lines = 0;
    int keys = 0;
    qsizetype start = 0;
    // Every line terminator splits, a CR LF pair giving an empty line between its halves.
    for (qsizetype i = 0; i <= text.size() && lines < 10; ++i) {
        if (i == text.size() || textlines::isLineBreak(text[i])) {
            if (keyLine.match(text.mid(start, i - start)).hasMatch())
                ++keys;
            ++lines;
            start = i + 1;
        }
    }
    return keys >= 2;
}

bool CodeSyntaxHighlighter::isYAML(QStringView text)
{
    return text.startsWith(u"---") || detectYAML(text);
}

void CodeSyntaxHighlighter::highlight(AttributedText& storage, bool isDarkMode, qreal fontSize)
{
    highlight(storage, isDarkMode, fontSize, isYAML(storage.text()));
}

void CodeSyntaxHighlighter::highlight(
    AttributedText& storage, bool isDarkMode, qreal fontSize, bool asYAML)
{
    if (storage.isEmpty())
        return;
    const QString text = storage.text();
    const SourceColors c = colors(isDarkMode);
    ParagraphStyle paragraph;
    paragraph.lineSpacing = 4;
    TextAttributes base;
    base.font = sourceFont(fontSize);
    base.foregroundColor = c.text;
    base.paragraphStyle = paragraph;
    storage.setAttributes({ 0, storage.length() }, base);
    const Subject subject { text,
        textlines::isValidUtf16(text) ? QRegularExpression::DontCheckSubjectStringMatchOption
                                      : QRegularExpression::NoMatchOption };
    if (asYAML)
        highlightYAML(storage, subject, c);
    else
        highlightMarkdown(storage, subject, c);
}

} // namespace quillon
