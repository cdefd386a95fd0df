#include "markdown/TableAttachment.h"

#include "markdown/MarkdownHighlighter.h"
#include "platform/TextLines.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace quillon {

TableAttachment::NarrowText::NarrowText(QStringView text)
{
    const auto wide
        = std::find_if(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xff; });
    m_wide = wide != text.end();
    for (qsizetype i = textlines::nextLineFeed(text, 0); i < text.size();
         i = textlines::nextLineFeed(text, i + 1))
        ++m_lines;
    if (m_wide)
        m_bytes = QByteArray(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    else
        m_bytes = QString::fromRawData(text.data(), text.size()).toLatin1();
}

QString TableAttachment::NarrowText::toString() const
{
    if (!m_wide)
        return QString::fromLatin1(m_bytes);
    return QString(reinterpret_cast<const QChar*>(m_bytes.constData()), m_bytes.size() / 2);
}

TableAttachment::TableAttachment(
    MarkdownTable table, QStringView sourceText, bool isDarkMode, qreal fontSize)
    : m_table(std::make_shared<const MarkdownTable>(std::move(table)))
    , m_source(sourceText)
    , m_isDarkMode(isDarkMode)
    , m_fontSize(fontSize)
{
}

TableAttachment::TableAttachment(
    QStringView sourceText, TextRange sourceRange, bool isDarkMode, qreal fontSize)
    : m_sourceRange(sourceRange)
    , m_source(sourceText)
    , m_isDarkMode(isDarkMode)
    , m_fontSize(fontSize)
{
}

MarkdownTable TableAttachment::parsedSource() const
{
    return MarkdownTable::parse(m_source.toString(), m_sourceRange).value_or(MarkdownTable {});
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
    const QString source = m_source.toString();
    const bool crlf = source.contains(QStringLiteral("\r\n"));
    // Each line keeps the indentation of the source line it replaces, so a table inside a list
    // item stays inside it.
    QList<QStringView> indents;
    for (QStringView line : QStringView(source).split(u'\n')) {
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
    copy->m_edited = NarrowText(normalisedMarkdown(table));
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
