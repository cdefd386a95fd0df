#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace quillon {

// One pipe table of a Markdown document: parsed from its lines, edited cell by cell, written back
// with aligned columns.
//
// Cell texts are held as written between the pipes, trimmed of spaces and tabs, with their
// backslash escapes still in them.
//
// Surplus cells: a body row written with more cells than the header keeps its extra cells, so
// writing the table back loses nothing. Every row holds at least `headers.size()` cells; cells at
// `headers.size()` and beyond are the row's surplus. The grid shows and edits only the header's
// columns (`columnCount()`), and `toMarkdown()` writes the surplus cells after them, unpadded.
struct MarkdownTable
{
    enum class Alignment { None, Left, Center, Right };

    QStringList headers;
    QList<QStringList> rows;
    QList<Alignment> alignments; // one per header column
    TextRange sourceRange; // where the table stood in the text it was parsed from

    friend bool operator==(const MarkdownTable&, const MarkdownTable&) = default;

    qsizetype columnCount() const { return headers.size(); }
    // True when some row holds cells beyond the header's columns.
    bool hasSurplusCells() const;

    // No value when the text is no table (fewer than two pipe lines, or no separator row).
    static std::optional<MarkdownTable> parse(QStringView text, TextRange sourceRange = {});
    // Whether parse() would find a table in `text`, without reading its cells.
    static bool isTable(QStringView text);
    // The cells of one line; empty when the line does not begin with "|".
    static QStringList splitCells(QStringView line);
    // Every cell non-empty, only "-" and ":", at least one "-".
    static bool isSeparatorRow(QStringView line);
    // Columns a text takes in a monospaced grid: 2 for each wide (CJK, emoji) character, else 1,
    // counting user-perceived characters.
    static int displayWidth(QStringView text);

    QString toMarkdown() const;

    // Stores `text` as plain text (backslashes and pipes escaped, line feeds made spaces).
    // A negative row is the header; out-of-range rows and columns change nothing.
    void setCell(int row, int column, const QString& text);
};

} // namespace quillon
