#include "markdown/MarkdownLineEditing.h"

#include "platform/TextLines.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>

#include <ostream>

namespace quillon {

void PrintTo(const MarkdownLineEditing::Edit& edit, std::ostream* out)
{
    *out << "replace " << edit.range.location << "+" << edit.range.length << " with \""
         << edit.replacement.toStdString() << "\" select " << edit.selection.location << "+"
         << edit.selection.length;
}

namespace {

using ML = MarkdownLineEditing;
using Edit = ML::Edit;
using Kind = ML::LinePrefix::Kind;

// Applies an edit as the editor does; returns the new text and the caret.
std::pair<QString, qsizetype> apply(const QString& text, const Edit& edit)
{
    QString result = text;
    result.replace(edit.range.location, edit.range.length, edit.replacement);
    return { result, edit.range.location + edit.selection.location };
}

// The caret's line (without its break) and its range, as the editor passes them.
struct LineAt
{
    QString line;
    TextRange range;
};

LineAt lineAt(const QString& text, qsizetype caret)
{
    const qsizetype start = text.lastIndexOf(u'\n', caret - 1) + 1;
    qsizetype end = text.indexOf(u'\n', caret);
    if (end < 0)
        end = text.size();
    return { text.mid(start, end - start), TextRange { start, end - start } };
}

// Text with a "|" marking the caret.
struct KeyCase
{
    const char* name;
    QString before; // "|" marks the caret
    std::optional<QString> after; // "|" marks the caret; no value means no edit
};

template <typename Rule> void runKeyCases(const QList<KeyCase>& cases, Rule rule)
{
    for (const KeyCase& c : cases) {
        const qsizetype caret = c.before.indexOf(u'|');
        QString text = c.before;
        text.remove(caret, 1);
        const LineAt line = lineAt(text, caret);
        const std::optional<Edit> edit = rule(line.line, line.range, caret);
        if (!c.after) {
            EXPECT_FALSE(edit.has_value()) << c.name;
            continue;
        }
        ASSERT_TRUE(edit.has_value()) << c.name;
        auto [result, newCaret] = apply(text, *edit);
        result.insert(newCaret, u'|');
        EXPECT_EQ(result.toStdString(), c.after->toStdString()) << c.name;
    }
}

TEST(MarkdownLinePrefix, ParsesMarkers)
{
    struct Case
    {
        QString line;
        std::optional<Kind> kind;
        QString marker;
        bool hasContent = false;
    };
    const QList<Case> cases {
        { QStringLiteral("- item"), Kind::Bullet, QStringLiteral("- "), true },
        { QStringLiteral("    + deep"), Kind::Bullet, QStringLiteral("+ "), true },
        { QStringLiteral("-"), std::nullopt, {} },
        { QStringLiteral("-item"), std::nullopt, {} },
        { QStringLiteral("* [x] done"), Kind::Task, QStringLiteral("* [x] "), true },
        { QStringLiteral("- [ ]"), Kind::Task, QStringLiteral("- [ ]"), false },
        { QStringLiteral("- [ ]text"), Kind::Task, QStringLiteral("- [ ]"), true },
        { QStringLiteral("- [X] upper"), Kind::Bullet, QStringLiteral("- "), true },
        { QStringLiteral(">"), Kind::Quote, QStringLiteral(">"), false },
        { QStringLiteral("> quoted"), Kind::Quote, QStringLiteral("> "), true },
        { QStringLiteral("12) twelve"), Kind::Ordered, QStringLiteral("12) "), true },
        { QStringLiteral("3."), std::nullopt, {} },
        { QStringLiteral("3.text"), std::nullopt, {} },
        { QStringLiteral("1,000. x"), std::nullopt, {} },
        { QStringLiteral("99999999999999999999. big"), std::nullopt, {} },
        { QStringLiteral("\u0663. arabic digit"), std::nullopt, {} },
        { QStringLiteral("\u00B2. superscript"), std::nullopt, {} },
        { QStringLiteral("  \t  "), std::nullopt, {} },
    };
    for (const Case& c : cases) {
        const auto prefix = ML::parsePrefix(c.line);
        ASSERT_EQ(prefix.has_value(), c.kind.has_value()) << c.line.toStdString();
        if (!prefix)
            continue;
        EXPECT_EQ(prefix->kind, *c.kind) << c.line.toStdString();
        EXPECT_EQ(prefix->marker, c.marker) << c.line.toStdString();
        EXPECT_EQ(prefix->hasContent, c.hasContent) << c.line.toStdString();
    }
    const auto task = ML::parsePrefix(u"- [x] a");
    EXPECT_TRUE(task->isChecked);
    const auto ordered = ML::parsePrefix(u"  007. x");
    EXPECT_EQ(ordered->number, 7);
    EXPECT_EQ(ordered->indent, QStringLiteral("  "));
}

TEST(MarkdownLinePrefix, ContinuationOfTheLargestNumberDoesNotOverflow)
{
    const auto prefix = ML::parsePrefix(u"9223372036854775807. last");
    ASSERT_TRUE(prefix.has_value());
    EXPECT_EQ(prefix->continuation(), std::nullopt);
    EXPECT_EQ(ML::parsePrefix(u"9223372036854775806. x")->continuation(),
        QStringLiteral("9223372036854775807. "));
}

TEST(MarkdownHeading, PrefixLength)
{
    EXPECT_EQ(ML::headingPrefixLength(u"# Title"), 2);
    EXPECT_EQ(ML::headingPrefixLength(u"###### Six"), 7);
    EXPECT_EQ(ML::headingPrefixLength(u"####### Seven"), 0);
    EXPECT_EQ(ML::headingPrefixLength(u"#NoSpace"), 0);
    EXPECT_EQ(ML::headingPrefixLength(u" # Indented"), 0);
    EXPECT_EQ(ML::headingPrefixLength(u"##"), 0);
}

TEST(MarkdownReturnKey, ContinuesListsAndQuotes)
{
    runKeyCases(
        {
            { "bullet", QStringLiteral("- apples|"), QStringLiteral("- apples\n- |") },
            { "bullet mid-text splits", QStringLiteral("* ab|cd"), QStringLiteral("* ab\n* |cd") },
            { "ordered with paren", QStringLiteral("3) x|"), QStringLiteral("3) x\n4) |") },
            { "nine continues as ten", QStringLiteral("9. x|"), QStringLiteral("9. x\n10. |") },
            { "leading zeros dropped", QStringLiteral("007. x|"), QStringLiteral("007. x\n8. |") },
            { "checked task gets an empty box", QStringLiteral("- [x] done|"),
                QStringLiteral("- [x] done\n- [ ] |") },
            { "quote without space", QStringLiteral(">q|"), QStringLiteral(">q\n> |") },
            { "nested three levels keeps indent", QStringLiteral("- a\n  - b\n    - c|"),
                QStringLiteral("- a\n  - b\n    - c\n    - |") },
            { "tab indent kept", QStringLiteral("\t+ t|"), QStringLiteral("\t+ t\n\t+ |") },
        },
        ML::returnEdit);
}

TEST(MarkdownReturnKey, EndsEmptyItemsAndRespectsMarkers)
{
    runKeyCases(
        {
            { "empty bullet ends the list", QStringLiteral("- a\n- |"), QStringLiteral("- a\n|") },
            { "empty quote, caret at start", QStringLiteral("|> "), QStringLiteral("|") },
            { "empty nested item", QStringLiteral("    1. |"), QStringLiteral("|") },
            { "caret inside the marker", QStringLiteral("-| item"), std::nullopt },
            { "caret in the indent", QStringLiteral(" | - item"), std::nullopt },
            { "largest number: no continuation", QStringLiteral("9223372036854775807. x|"),
                std::nullopt },
            { "largest number, empty item still ends the list",
                QStringLiteral("9223372036854775807. |"), QStringLiteral("|") },
            { "heading at end", QStringLiteral("## Title|"), QStringLiteral("## Title\n|") },
            { "heading in the middle", QStringLiteral("## Ti|tle"), std::nullopt },
            { "not a heading", QStringLiteral("#Title|"), std::nullopt },
            { "plain text", QStringLiteral("hello|"), std::nullopt },
        },
        ML::returnEdit);
    EXPECT_FALSE(ML::returnEdit(u"- a", TextRange { 10, 3 }, 9).has_value());
    EXPECT_FALSE(ML::returnEdit(u"- a", TextRange { 10, 3 }, 14).has_value());
}

TEST(MarkdownBackspaceKey, OutdentsOrRemovesMarkers)
{
    runKeyCases(
        {
            { "two-space indent goes", QStringLiteral("  - |x"), QStringLiteral("- |x") },
            { "tab indent goes", QStringLiteral("\t- |x"), QStringLiteral("- |x") },
            { "three spaces leave one", QStringLiteral("   - |x"), QStringLiteral(" - |x") },
            { "one space goes", QStringLiteral(" > |x"), QStringLiteral("> |x") },
            { "level three to level two", QStringLiteral("- a\n  - b\n    - |c"),
                QStringLiteral("- a\n  - b\n  - |c") },
            { "no indent: marker goes, text stays", QStringLiteral("1. |text"),
                QStringLiteral("|text") },
            { "empty item, caret at its start", QStringLiteral("|  - "), QStringLiteral("- |") },
            { "empty item, caret in its marker", QStringLiteral("-| "), QStringLiteral("|") },
            { "start of an item with text", QStringLiteral("|- x"), std::nullopt },
            { "inside the text", QStringLiteral("- x|y"), std::nullopt },
            { "heading marker goes", QStringLiteral("### |Title"), QStringLiteral("|Title") },
            { "inside a heading marker", QStringLiteral("##| Title"), std::nullopt },
        },
        ML::backspaceEdit);
}

TEST(MarkdownCodeReturnKey, KeepsTheIndent)
{
    runKeyCases(
        {
            { "four spaces", QStringLiteral("    x = 1|"), QStringLiteral("    x = 1\n    |") },
            { "caret right after the indent", QStringLiteral("\t|y"), QStringLiteral("\t\n\t|y") },
            { "caret inside the indent", QStringLiteral("  |  x"), std::nullopt },
            { "unindented line", QStringLiteral("x|"), std::nullopt },
        },
        ML::codeReturnEdit);
}

TEST(MarkdownIndentInCode, TabAndShiftTabOnSelectedLines)
{
    const QString text = QStringLiteral("```\na\n\n b\n```\n");
    // Select from inside "a" to inside " b": three lines, the empty one included.
    const auto indent = ML::indentEdit(text, TextRange { 5, 4 });
    ASSERT_TRUE(indent.has_value());
    EXPECT_EQ(indent->range, (TextRange { 4, 6 }));
    EXPECT_EQ(indent->replacement, QStringLiteral("  a\n  \n   b\n"));
    EXPECT_EQ(indent->selection, (TextRange { 0, indent->replacement.size() }));

    const auto outdent = ML::outdentEdit(QStringLiteral("    a\n\tb\n c\nd"), TextRange { 0, 13 });
    ASSERT_TRUE(outdent.has_value());
    EXPECT_EQ(outdent->replacement, QStringLiteral("  a\nb\nc\nd"));

    EXPECT_FALSE(ML::outdentEdit(u"a\nb", TextRange { 0, 3 }).has_value());
    EXPECT_FALSE(ML::indentEdit(u"a\n", TextRange { 2, 0 }).has_value());
    EXPECT_FALSE(ML::indentEdit(u"a", TextRange { 0, 5 }).has_value());
    EXPECT_FALSE(ML::indentEdit(u"a", TextRange { -1, 0 }).has_value());
    // A caret on the last line without a line break indents that line.
    EXPECT_EQ(ML::indentEdit(u"a\nb", TextRange { 3, 0 })->replacement, QStringLiteral("  b"));
}

TEST(MarkdownInlineStyle, ToggleAndActiveState)
{
    using S = ML::InlineStyle;
    struct Case
    {
        const char* name;
        S style;
        QString before; // selection between "[" and "]"
        QString after; // caret marked by "|"
    };
    const QList<Case> cases {
        { "bold, empty selection", S::Bold, QStringLiteral("a[]b"), QStringLiteral("a**|**b") },
        { "bold again removes all four", S::Bold, QStringLiteral("a**[]**b"),
            QStringLiteral("a|b") },
        { "italic on a bold word wraps", S::Italic, QStringLiteral("**[w]**"),
            QStringLiteral("***w*|**") },
        { "italic on an italic word unwraps", S::Italic, QStringLiteral("*[w]*"),
            QStringLiteral("w|") },
        { "strikethrough wraps", S::Strikethrough, QStringLiteral("[gone]"),
            QStringLiteral("~~gone~~|") },
        { "code unwraps", S::Code, QStringLiteral("`[x]`"), QStringLiteral("x|") },
        { "caret counts UTF-16 units", S::Bold, QStringLiteral("[\U0001F600]"),
            QStringLiteral("**\U0001F600**|") },
    };
    for (const Case& c : cases) {
        const qsizetype open = c.before.indexOf(u'[');
        const qsizetype close = c.before.indexOf(u']');
        QString text = c.before;
        text.remove(close, 1);
        text.remove(open, 1);
        const TextRange selection { open, close - open - 1 };
        const Edit edit = ML::toggleInlineStyle(c.style, text, selection);
        auto [result, caret] = apply(text, edit);
        result.insert(caret, u'|');
        EXPECT_EQ(result.toStdString(), c.after.toStdString()) << c.name;
    }
    EXPECT_TRUE(ML::isInlineStyleActive(S::Bold, u"**b**", TextRange { 2, 1 }));
    EXPECT_FALSE(ML::isInlineStyleActive(S::Italic, u"**b**", TextRange { 2, 1 }));
    EXPECT_FALSE(ML::isInlineStyleActive(S::Bold, u"*b*", TextRange { 1, 1 }));
}

TEST(MarkdownInlineStyle, RawValues)
{
    for (auto style : ML::allInlineStyles())
        EXPECT_EQ(ML::inlineStyleFromRawValue(ML::rawValue(style)), style);
    EXPECT_EQ(ML::inlineStyleFromRawValue(u"underline"), std::nullopt);
}

TEST(MarkdownFencedBlocks, FindsBlocksByTheFenceRules)
{
    const QString text = QStringLiteral("intro `code` ```inline```\n" // 0..26
                                        "````Swift \n" // 26..37
                                        "```\n" // 37..41
                                        "~~~\n" // 41..45
                                        "`````\n" // 45..51
                                        "after\n"); // 51..57
    const auto blocks = ML::fencedBlocks(text);
    ASSERT_EQ(blocks.size(), 1);
    const auto& block = blocks[0];
    EXPECT_EQ(block.range, (TextRange { 26, 25 }));
    EXPECT_EQ(block.openFenceLine, (TextRange { 26, 11 }));
    EXPECT_EQ(block.closeFenceLine, (TextRange { 45, 6 }));
    EXPECT_EQ(block.contentRange, (TextRange { 37, 8 }));
    EXPECT_EQ(block.infoString, QStringLiteral("swift"));
    EXPECT_EQ(block.fence, QStringLiteral("````"));
}

TEST(MarkdownFencedBlocks, LinesThatOpenNothing)
{
    EXPECT_TRUE(ML::fencedBlocks(u"    ```\ncode\n    ```\n").isEmpty());
    EXPECT_TRUE(ML::fencedBlocks(u"``` a`b\nx\n").isEmpty());
    EXPECT_TRUE(ML::fencedBlocks(u"``\nx\n``\n").isEmpty());
    // Inline code that holds a fence run opens nothing.
    EXPECT_TRUE(ML::fencedBlocks(u"`` ``` ``\ntext\n").isEmpty());
    EXPECT_TRUE(ML::fencedBlocks(u"see `\n```` `` ` \n").isEmpty());
    // A closing fence must have no info.
    const auto blocks = ML::fencedBlocks(u"~~~\n~~~ x\n~~~");
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].closeFenceLine, (TextRange { 10, 3 }));
}

TEST(MarkdownFencedBlocks, FoundFromTheirFenceCharactersAsWalkingEveryLineFindsThem)
{
    // Fence lines are found from their fence characters, a long text a stretch a thread:
    // random lines of fences, near-fences, inline code and prose, under every kind of line
    // break, give the blocks a walk over every line gives, and so does the search that stops
    // at an offset.
    const QStringList lines { QStringLiteral("```"), QStringLiteral("```js"), QStringLiteral("~~~"),
        QStringLiteral("~~~~"), QStringLiteral("   ```"), QStringLiteral("    ```"),
        QStringLiteral("``` a`b"), QStringLiteral("text `code` ```x```"), QString(),
        QStringLiteral("| a | b |"), QStringLiteral("` ```"), QStringLiteral(" ~~~ x"),
        QStringLiteral("````"), QStringLiteral("a~~~"), QStringLiteral("  ~`~") };
    const QStringList breaks { QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r"),
        QStringLiteral("\u2028") };
    // Each line alone says whether it is a fence and of what kind; the walk pairs them.
    auto walked = [](QStringView text) {
        QList<ML::FencedBlock> blocks;
        std::optional<ML::FencedBlock> open;
        for (qsizetype start = 0; start < text.size();) {
            const textlines::LineBounds line = textlines::lineStartingAt(text, start);
            const TextRange range { start, line.end - start };
            start = line.end;
            const QList<ML::FencedBlock> alone
                = ML::fencedBlocks(text.mid(range.location, range.length));
            if (alone.isEmpty() || alone[0].range.location != 0)
                continue;
            if (!open) {
                open = alone[0];
                open->range.location = range.location;
                open->openFenceLine = range;
                continue;
            }
            if (alone[0].fence.front() != open->fence.front()
                || alone[0].fence.size() < open->fence.size() || !alone[0].infoString.isEmpty())
                continue;
            open->range.length = range.end() - open->range.location;
            open->closeFenceLine = range;
            open->contentRange
                = { open->openFenceLine.end(), range.location - open->openFenceLine.end() };
            blocks.append(*open);
            open.reset();
        }
        if (open) {
            open->range.length = text.size() - open->range.location;
            open->contentRange = { qMin(open->openFenceLine.end(), text.size()),
                text.size() - qMin(open->openFenceLine.end(), text.size()) };
            blocks.append(*open);
        }
        return blocks;
    };
    QRandomGenerator random(17);
    for (const qsizetype length : { 200, 2'000, 2'300'000 }) {
        QString text;
        // The long text, searched a stretch a thread, holds long prose between its lines.
        const QString prose = length > 2'000 ? QString(400, u'w') + u'\n' : QString();
        while (text.size() < length)
            text += lines[random.bounded(int(lines.size()))]
                + breaks[random.bounded(int(breaks.size()))] + prose;
        const QList<ML::FencedBlock> expected = walked(text);
        ASSERT_EQ(ML::fencedBlocks(text), expected) << length;
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(ML::firstFencedBlock(text), expected.first());
        if (length > 2'000)
            continue;
        for (qsizetype at = 0; at <= text.size(); ++at) {
            const bool inside
                = std::any_of(expected.begin(), expected.end(), [&](const ML::FencedBlock& b) {
                      return b.range.contains(at) || (at == b.range.end() && !b.closeFenceLine);
                  });
            ASSERT_EQ(ML::isInsideFencedCode(text, at), inside) << at;
        }
    }
}

TEST(MarkdownFencedBlocks, UnclosedBlockRunsToTheEnd)
{
    const QString text = QStringLiteral("a\n```py\nx = 1\n");
    const auto blocks = ML::fencedBlocks(text);
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].range, (TextRange { 2, 12 }));
    EXPECT_EQ(blocks[0].closeFenceLine, std::nullopt);
    EXPECT_EQ(blocks[0].contentRange, (TextRange { 8, 6 }));
    EXPECT_TRUE(ML::isInsideFencedCode(text, text.size()));
    // An opening fence on the last line without a break: empty content at the text end.
    const auto last = ML::fencedBlocks(u"x\n```");
    ASSERT_EQ(last.size(), 1);
    EXPECT_EQ(last[0].contentRange, (TextRange { 5, 0 }));
}

TEST(MarkdownFencedBlocks, CrlfAndParagraphSeparatorsEndLines)
{
    const auto crlf = ML::fencedBlocks(u"```js\r\nx\r\n```\r\ny");
    ASSERT_EQ(crlf.size(), 1);
    EXPECT_EQ(crlf[0].infoString, QStringLiteral("js"));
    EXPECT_EQ(crlf[0].closeFenceLine, (TextRange { 10, 5 }));
    const auto separators = ML::fencedBlocks(u"```\u2029x\u2029```\u2029");
    ASSERT_EQ(separators.size(), 1);
    EXPECT_EQ(separators[0].range, (TextRange { 0, 10 }));
}

TEST(MarkdownFencedBlocks, InsideTest)
{
    const QString text = QStringLiteral("a\n```\nb\n```\nc");
    struct Case
    {
        qsizetype location;
        bool inside;
    };
    const QList<Case> cases { { -1, false }, { 0, false }, { 1, false }, { 2, true }, { 6, true },
        { 11, true }, { 12, false }, { 13, false }, { 14, false } };
    for (const Case& c : cases)
        EXPECT_EQ(ML::isInsideFencedCode(text, c.location), c.inside) << c.location;
}

} // namespace
} // namespace quillon
