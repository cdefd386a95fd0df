#include "markdown/TableAttachment.h"

#include "markdown/MarkdownHighlighter.h"

#include <QFontMetricsF>

#include <cmath>

namespace quillon {

TableAttachment::TableAttachment(
    MarkdownTable table, QString sourceText, bool isDarkMode, qreal fontSize)
    : m_table(std::make_shared<const MarkdownTable>(std::move(table)))
    , m_sourceText(std::move(sourceText))
    , m_markdown(m_sourceText)
    , m_isDarkMode(isDarkMode)
    , m_fontSize(fontSize)
{
}

TableAttachment::TableAttachment(
    QString sourceText, TextRange sourceRange, bool isDarkMode, qreal fontSize)
    : m_sourceRange(sourceRange)
    , m_sourceText(std::move(sourceText))
    , m_markdown(m_sourceText)
    , m_isDarkMode(isDarkMode)
    , m_fontSize(fontSize)
{
}

MarkdownTable TableAttachment::parsedSource() const
{
    return MarkdownTable::parse(m_sourceText, m_sourceRange).value_or(MarkdownTable {});
}

const MarkdownTable& TableAttachment::table() const
{
    if (!m_table)
        m_table = std::make_shared<const MarkdownTable>(parsedSource());
    return *m_table;
}

const TableLayout& TableAttachment::layout() const
{
    if (!m_layout) {
        // Measuring every table's height (as settling the view does) keeps no parsed cells of
        // the tables that are never drawn.
        m_layout
            = TableLayout::measure(m_table ? *m_table : parsedSource(), cellFont(), headerFont());
    }
    return *m_layout;
}

QFont TableAttachment::cellFont() const
{
    return MarkdownHighlighter::systemFont(m_fontSize - 1);
}

QFont TableAttachment::headerFont() const
{
    return MarkdownHighlighter::systemFont(m_fontSize - 1, QFont::DemiBold);
}

qreal TableAttachment::baselineOffset() const
{
    return std::ceil(QFontMetricsF(cellFont()).ascent()) - layout().size().height();
}

QString TableAttachment::normalisedMarkdown(const MarkdownTable& table) const
{
    const bool crlf = m_sourceText.contains(QStringLiteral("\r\n"));
    // Each line keeps the indentation of the source line it replaces, so a table inside a list
    // item stays inside it.
    QList<QStringView> indents;
    for (QStringView line : QStringView(m_sourceText).split(u'\n')) {
        qsizetype i = 0;
        while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        indents.append(line.left(i));
    }
    const QStringList lines = table.toMarkdown().split(u'\n');
    QString result;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            result += crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
        if (!indents.isEmpty())
            result += (i < indents.size() ? indents[i] : indents.first());
        result += lines[i];
    }
    return result;
}

std::shared_ptr<const TableAttachment> TableAttachment::withTable(const MarkdownTable& table) const
{
    auto copy = std::make_shared<TableAttachment>(*this);
    if (table == this->table())
        return copy;
    copy->m_table = std::make_shared<const MarkdownTable>(table);
    copy->m_markdown = normalisedMarkdown(table);
    copy->m_isEdited = true;
    copy->m_layout.reset();
    return copy;
}

std::shared_ptr<const TableAttachment> TableAttachment::withAppearance(
    bool isDarkMode, qreal fontSize) const
{
    auto copy = std::make_shared<TableAttachment>(*this);
    copy->m_isDarkMode = isDarkMode;
    copy->m_fontSize = fontSize;
    copy->m_layout.reset();
    return copy;
}

} // namespace quillon
