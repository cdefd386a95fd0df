#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace quillon {

// Pure rules that turn an editing key (Enter, Backspace, Tab, Shift-Tab) or a style command into
// one text replacement, and that find fenced code blocks. Positions are UTF-16 offsets.
struct MarkdownLineEditing
{
    enum class InlineStyle { Bold, Italic, Strikethrough, Code };

    static const QList<InlineStyle>& allInlineStyles();
    // "bold", "italic", "strikethrough", "code".
    static QString rawValue(InlineStyle style);
    static std::optional<InlineStyle> inlineStyleFromRawValue(QStringView rawValue);
    // "**", "*", "~~", "`".
    static QString marker(InlineStyle style);

    // One replacement. The caller replaces `range` with `replacement`, then selects
    // (range.location + selection.location, selection.length).
    struct Edit
    {
        TextRange range;
        QString replacement;
        TextRange selection;
        friend bool operator==(const Edit&, const Edit&) = default;
    };

    // The list or quote marker at the start of one line.
    struct LinePrefix
    {
        enum class Kind { Bullet, Ordered, Task, Quote };

        Kind kind = Kind::Bullet;
        QChar bullet; // Bullet and Task: '-', '*' or '+'
        qint64 number = 0; // Ordered
        QChar delimiter; // Ordered: '.' or ')'
        bool isChecked = false; // Task: the box holds a lower-case "x"
        QString indent; // leading spaces and tabs
        QString marker; // the marker as written after the indent, e.g. "- " or "> "
        bool hasContent = false;

        // What a new line continuing this one begins with. No value for an ordered item whose
        // number has no successor in qint64: such an item is not continued.
        std::optional<QString> continuation() const;

        friend bool operator==(const LinePrefix&, const LinePrefix&) = default;
    };

    // One fenced code block.
    struct FencedBlock
    {
        TextRange range; // opening line start .. closing line end (break included),
                         // or to the end of the text when never closed
        TextRange openFenceLine; // line break included
        std::optional<TextRange> closeFenceLine;
        TextRange contentRange; // the lines between the fences
        QString infoString; // trimmed, lower-cased
        QString fence; // the opening run, e.g. "```" or "~~~~"
        friend bool operator==(const FencedBlock&, const FencedBlock&) = default;
    };

    static QList<FencedBlock> fencedBlocks(QStringView text);
    // The first block of fencedBlocks(text), found without reading the text beyond its end.
    static std::optional<FencedBlock> firstFencedBlock(QStringView text);
    // Fence lines count as inside; so does the end of the text after an unclosed block.
    // `outsideFrom`, at or before `location`, is a line start known to be outside every block:
    // the fences are looked for from there on.
    static bool isInsideFencedCode(QStringView text, qsizetype location, qsizetype outsideFrom = 0);

    static std::optional<LinePrefix> parsePrefix(QStringView line);
    // Length of "#".."######" plus its space, or 0 when the line is no heading.
    static int headingPrefixLength(QStringView line);

    // `line` is the caret's line without its line break, `lineRange` its range in the whole text,
    // `caret` the caret location in the whole text (empty selection).
    static std::optional<Edit> returnEdit(QStringView line, TextRange lineRange, qsizetype caret);
    static std::optional<Edit> backspaceEdit(
        QStringView line, TextRange lineRange, qsizetype caret);
    static std::optional<Edit> codeReturnEdit(
        QStringView line, TextRange lineRange, qsizetype caret);

    // Tab and Shift-Tab inside a fenced block: two spaces more or less on every selected line.
    static std::optional<Edit> indentEdit(QStringView text, TextRange selection);
    static std::optional<Edit> outdentEdit(QStringView text, TextRange selection);

    static Edit toggleInlineStyle(InlineStyle style, QStringView text, TextRange selection);
    static bool isInlineStyleActive(InlineStyle style, QStringView text, TextRange selection);
};

} // namespace quillon
