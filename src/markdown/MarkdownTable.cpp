#include "markdown/MarkdownTable.h"

#include "platform/TextLines.h"

#include <QTextBoundaryFinder>

namespace quillon {

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimSpacesAndTabs(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isSpaceOrTab(text[start]))
        ++start;
    while (end > start && isSpaceOrTab(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

bool isWideCodePoint(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF)
        || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)
        || (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF);
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    return text[i].unicode();
}

MarkdownTable::Alignment alignmentOf(QStringView separatorCell)
{
    const QStringView cell = trimSpacesAndTabs(separatorCell);
    const bool leading = cell.startsWith(u':');
    const bool trailing = cell.endsWith(u':');
    if (leading && trailing)
        return MarkdownTable::Alignment::Center;
    if (trailing)
        return MarkdownTable::Alignment::Right;
    if (leading)
        return MarkdownTable::Alignment::Left;
    return MarkdownTable::Alignment::None;
}

int minimumWidth(MarkdownTable::Alignment alignment)
{
    switch (alignment) {
    case MarkdownTable::Alignment::None:
        return 3;
    case MarkdownTable::Alignment::Left:
    case MarkdownTable::Alignment::Right:
        return 4;
    case MarkdownTable::Alignment::Center:
        return 5;
    }
    return 3;
}

QString separatorCell(MarkdownTable::Alignment alignment, int width)
{
    switch (alignment) {
    case MarkdownTable::Alignment::None:
        return QString(width, u'-');
    case MarkdownTable::Alignment::Left:
        return u':' + QString(width - 1, u'-');
    case MarkdownTable::Alignment::Right:
        return QString(width - 1, u'-') + u':';
    case MarkdownTable::Alignment::Center:
        return u':' + QString(width - 2, u'-') + u':';
    }
    return QString(width, u'-');
}

} // namespace

bool MarkdownTable::hasSurplusCells() const
{
    for (const QStringList& row : rows) {
        if (row.size() > headers.size())
            return true;
    }
    return false;
}

QStringList MarkdownTable::splitCells(QStringView line)
{
    QStringView rest = trimSpacesAndTabs(line);
    if (!rest.startsWith(u'|'))
        return {};
    rest = rest.mid(1);
    if (rest.endsWith(u'|') && !rest.endsWith(u"\\|"))
        rest.chop(1);

    QStringList cells;
    QString cell;
    bool escaped = false;
    for (QChar c : rest) {
        if (escaped) {
            cell += u'\\';
            cell += c;
            escaped = false;
        } else if (c == u'\\') {
            escaped = true;
        } else if (c == u'|') {
            cells.append(trimSpacesAndTabs(cell).toString());
            cell.clear();
        } else {
            cell += c;
        }
    }
    if (escaped)
        cell += u'\\';
    cells.append(trimSpacesAndTabs(cell).toString());
    return cells;
}

bool MarkdownTable::isSeparatorRow(QStringView line)
{
    // The cells as splitCells() reads them, without making them (every table of a long
    // document is told apart by this line): a backslash would stand in a cell, and no cell of a
    // separator row holds one.
    QStringView rest = trimSpacesAndTabs(line);
    if (!rest.startsWith(u'|'))
        return false;
    rest = rest.mid(1);
    if (rest.contains(u'\\'))
        return false;
    if (rest.endsWith(u'|'))
        rest.chop(1);
    for (QStringView cell : rest.tokenize(u'|')) {
        const QStringView trimmed = trimSpacesAndTabs(cell);
        if (trimmed.isEmpty() || !trimmed.contains(u'-'))
            return false;
        for (QChar c : trimmed) {
            if (c != u'-' && c != u':')
                return false;
        }
    }
    return true;
}

namespace {

// The lines of `text` that begin with a pipe (after spaces and tabs), without their line ends;
// no more than `atMost` of them when it is positive.
QList<QStringView> pipeLinesOf(QStringView text, qsizetype atMost = -1)
{
    QList<QStringView> lines;
    for (QStringView line : text.split(u'\n')) {
        // A table in a CRLF document is still a table.
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (trimSpacesAndTabs(line).startsWith(u'|'))
            lines.append(line);
        if (atMost > 0 && lines.size() >= atMost)
            break;
    }
    return lines;
}

} // namespace

bool MarkdownTable::isTable(QStringView text)
{
    const QList<QStringView> lines = pipeLinesOf(text, 2);
    return lines.size() == 2 && isSeparatorRow(lines[1]);
}

std::optional<MarkdownTable> MarkdownTable::parse(QStringView text, TextRange sourceRange)
{
    const QList<QStringView> lines = pipeLinesOf(text);
    if (lines.size() < 2 || !isSeparatorRow(lines[1]))
        return std::nullopt;

    MarkdownTable table;
    table.sourceRange = sourceRange;
    table.headers = splitCells(lines[0]);
    const qsizetype columns = table.headers.size();
    for (const QString& cell : splitCells(lines[1]))
        table.alignments.append(alignmentOf(cell));
    table.alignments.resize(columns, Alignment::None);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        QStringList cells = splitCells(lines[i]);
        while (cells.size() < columns)
            cells.append(QString());
        table.rows.append(cells);
    }
    return table;
}

int MarkdownTable::displayWidth(QStringView text)
{
    int width = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    // Plain ASCII needs no segmentation: each character is its own cluster, one column wide.
    while (i < n && text[i].unicode() < 0x80) {
        if (i + 1 < n && text[i + 1].unicode() >= 0x80)
            break;
        ++width;
        ++i;
    }
    if (i == n)
        return width;
    const QStringView rest = text.mid(i);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, rest.data(), rest.size());
    qsizetype start = 0;
    while (start < rest.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = rest.size();
        width += isWideCodePoint(codePointAt(rest, start)) ? 2 : 1;
        start = end;
    }
    return width;
}

QString MarkdownTable::toMarkdown() const
{
    const qsizetype columns = headers.size();
    if (columns == 0)
        return QString();
    auto alignment = [&](qsizetype column) {
        return column < alignments.size() ? alignments[column] : Alignment::None;
    };

    QList<int> widths(columns);
    for (qsizetype column = 0; column < columns; ++column) {
        int width = qMax(minimumWidth(alignment(column)), displayWidth(headers[column]));
        for (const QStringList& row : rows) {
            if (column < row.size())
                width = qMax(width, displayWidth(row[column]));
        }
        widths[column] = width;
    }

    auto line = [&](const QStringList& cells, bool padded) {
        QString out = QStringLiteral("| ");
        for (qsizetype column = 0; column < qMax(columns, cells.size()); ++column) {
            if (column > 0)
                out += QStringLiteral(" | ");
            const QString cell = column < cells.size() ? cells[column] : QString();
            out += cell;
            if (padded && column < columns)
                out += QString(qMax(0, widths[column] - displayWidth(cell)), u' ');
        }
        out += QStringLiteral(" |");
        return out;
    };

    QStringList separator;
    for (qsizetype column = 0; column < columns; ++column)
        separator.append(separatorCell(alignment(column), widths[column]));

    QStringList out;
    out.reserve(rows.size() + 2);
    out.append(line(headers, true));
    out.append(line(separator, false));
    for (const QStringList& row : rows)
        out.append(line(row, true));
    return out.join(u'\n');
}

void MarkdownTable::setCell(int row, int column, const QString& text)
{
    if (column < 0 || column >= headers.size())
        return;
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'|', QStringLiteral("\\|"));
    escaped.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : escaped) {
        if (textlines::isLineBreak(c))
            c = u' ';
    }
    if (row < 0) {
        headers[column] = escaped;
        return;
    }
    if (row >= rows.size())
        return;
    QStringList& cells = rows[row];
    while (cells.size() <= column)
        cells.append(QString());
    cells[column] = escaped;
}

} // namespace quillon
