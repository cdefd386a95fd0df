#pragma once

#include "markdown/TableAttachment.h"
#include "markdown/TextRange.h"
#include "platform/AttributedText.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

namespace quillon {

class ChunkedText;

// Shows each pipe table of a Markdown document as one U+FFFC character carrying a
// TableAttachment, and turns such a storage back into the document's Markdown.
//
// Two coordinate spaces: the Markdown text (document, files, search hits) and the storage text
// (the Markdown with each table replaced by one character). Offsets cross between them only
// through storageOffset / markdownOffset.
//
// Round trip: markdown(storage) gives back the installed text byte for byte; only tables edited
// in the grid are written in their normalised form (see TableAttachment).
struct MarkdownTableProjection
{
    static constexpr char16_t objectReplacementCharacter = 0xFFFC;
    // Paragraph spacing before and after a table's character.
    static constexpr qreal tableParagraphSpacing = 8;

    // The tables of a Markdown text, ascending. Pipe lines inside fenced code blocks are code
    // and never part of a table. A table's range ends before the line break after its last row.
    static QList<TextRange> findTables(QStringView markdown);
    // The whole lines of `markdown` that hold [from, to), widened by every line next to them
    // that holds a pipe: a table is a run of pipe lines, so each table of the text lies wholly
    // inside the stretch or wholly outside it, and those outside do not depend on the lines
    // inside. (Which of them are code depends on the fences before it.)
    static TextRange pipeLinesAround(const ChunkedText& markdown, qsizetype from, qsizetype to);

    // Replaces every table of the storage's text with its attachment character, which takes the
    // attributes styling gives it for this appearance (attributes of the rest of the storage are
    // kept). Returns the character ranges, ascending, each of length 1; an empty list leaves the
    // storage untouched. `markdownLengths` and `markdownLines`, where given, take the length of
    // each one's Markdown and its number of lines.
    static QList<TextRange> installTables(AttributedText& storage, bool isDarkMode, qreal fontSize,
        std::vector<qsizetype>* markdownLengths = nullptr,
        std::vector<int>* markdownLines = nullptr);

    // The document text of a storage: each table character replaced by its Markdown.
    static QString markdown(const AttributedText& storage);

    // Markdown offset -> storage offset: an offset inside a table gives the table's character,
    // one beyond the Markdown text the storage length, a negative one 0.
    static qsizetype storageOffset(qsizetype markdownOffset, const AttributedText& storage);
    // Storage offset -> Markdown offset (clamped to the storage).
    static qsizetype markdownOffset(qsizetype storageOffset, const AttributedText& storage);

    // The table attachment at a storage index, or nullptr when that character is no table.
    static const TableAttachment* tableAt(const AttributedText& storage, qsizetype index);
    // Number of table characters in the storage.
    static int tableCount(const AttributedText& storage);
    // The paragraph style of a table's character.
    static ParagraphStyle tableParagraphStyle();
};

} // namespace quillon
