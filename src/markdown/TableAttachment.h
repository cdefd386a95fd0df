#pragma once

#include "markdown/MarkdownTable.h"
#include "markdown/TableLayout.h"
#include "platform/AttributedText.h"

#include <QByteArray>
#include <QFont>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

// What a table's U+FFFC character carries in the block editor's storage: the parsed table, its
// measured grid and the Markdown that stands for it in the document.
//
// A table the user has not edited in the grid writes back exactly the text it was parsed from
// (indentation, padding, surplus cells and line endings included), so editing elsewhere in the
// document never rewrites it. A table edited in the grid (withTable) writes its normalised
// `toMarkdown()` form, keeping every cell, each line's indentation and the line-ending style.
//
// Immutable: editing a cell makes a new attachment that replaces this one.
class TableAttachment : public TextAttachment
{
public:
    // A table parsed from `sourceText` (the exact document text of its lines).
    TableAttachment(MarkdownTable table, QStringView sourceText, bool isDarkMode, qreal fontSize);
    // The same, parsed again from `sourceText` (which parses as a table standing at
    // `sourceRange`) the first time its cells are asked for: the thousands of tables of a long
    // document that are never drawn or edited then hold their text alone.
    TableAttachment(QStringView sourceText, TextRange sourceRange, bool isDarkMode, qreal fontSize);

    const MarkdownTable& table() const;
    // Measured the first time it is asked for (drawn, laid out or hit), since measuring every
    // cell of thousands of tables that may never be scrolled to would hold up the first paint.
    // The block view asks only on the thread that shows it.
    const TableLayout& layout() const;
    bool isDarkMode() const { return m_isDarkMode; }
    qreal fontSize() const { return m_fontSize; }
    // Cell texts: the system font one pixel smaller than the text; the header semibold.
    QFont cellFont() const;
    QFont headerFont() const;
    // Where the grid sits against the line's baseline: its top one cell-font ascent above it,
    // the rest hanging below (a negative value: the bottom lies this far below the baseline).
    qreal baselineOffset() const;

    // The Markdown this table stands for in the document, its length and its number of lines.
    QString markdown() const { return written().toString(); }
    qsizetype markdownLength() const { return written().size(); }
    int markdownLineCount() const { return written().lineCount(); }
    // The document text the table was first parsed from.
    QString sourceText() const { return m_source.toString(); }
    bool isEdited() const { return m_isEdited; }

    // A copy holding `table` (for instance after a cell edit). Unless `table` equals this
    // table, the copy is edited and writes the normalised form.
    std::shared_ptr<const TableAttachment> withTable(const MarkdownTable& table) const;
    // The same table drawn with another appearance or size.
    std::shared_ptr<const TableAttachment> withAppearance(bool isDarkMode, qreal fontSize) const;

private:
    // Text held a byte a character when every character fits in one, as nearly every table's
    // does: the thousands of tables of a long document hold their text at half the size.
    // Implicitly shared, like a QString.
    class NarrowText
    {
    public:
        NarrowText() = default;
        explicit NarrowText(QStringView text);
        QString toString() const;
        qsizetype size() const { return m_wide ? m_bytes.size() / 2 : m_bytes.size(); }
        int lineCount() const { return m_lines; }

    private:
        QByteArray m_bytes; // Latin-1, or the UTF-16 units as they are
        bool m_wide = false;
        int m_lines = 1; // counted while the text is at hand
    };

    // What the table writes back: its source text, or its normalised form once edited.
    const NarrowText& written() const { return m_isEdited ? m_edited : m_source; }
    QString normalisedMarkdown(const MarkdownTable& table) const;
    // The table its source text holds, parsed afresh.
    MarkdownTable parsedSource() const;

    // Parsed when first asked for, which most tables of a long document never are: held apart,
    // so that those take no room for it (copies share it; it is never changed).
    mutable std::shared_ptr<const MarkdownTable> m_table;
    TextRange m_sourceRange;
    NarrowText m_source;
    NarrowText m_edited; // the normalised form written once the grid was edited
    bool m_isEdited = false;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    mutable std::optional<TableLayout> m_layout;
};

} // namespace quillon
