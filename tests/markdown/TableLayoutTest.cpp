#include "markdown/TableLayout.h"
#include "markdown/MarkdownHighlighter.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

#include <cmath>

using namespace quillon;
using M = TableLayout::Metrics;

namespace {

MarkdownTable table(const QString& markdown)
{
    return *MarkdownTable::parse(markdown);
}

const QFont kFont = MarkdownHighlighter::systemFont(14);
const QFont kHeaderFont = MarkdownHighlighter::systemFont(14, QFont::DemiBold);

} // namespace

TEST(TableLayout, MeasuresClampedColumnsAndRowHeights)
{
    const QString longText(80, u'W');
    const TableLayout layout = TableLayout::measure(
        table(QStringLiteral("| A | %1 | c |\n|---|---|---|\n| x | y | a \\| b |").arg(longText)),
        kFont, kHeaderFont);
    ASSERT_EQ(layout.columnWidths.size(), 3);
    EXPECT_EQ(layout.columnWidths[0], M::minColumnWidth);
    EXPECT_EQ(layout.columnWidths[1], M::maxColumnWidth);
    // Escaped pipes are measured with their backslash.
    EXPECT_DOUBLE_EQ(layout.columnWidths[2],
        qMax(M::minColumnWidth, QFontMetricsF(kFont).horizontalAdvance(u"a \\| b"_qs) + 20));
    const QFontMetricsF m(kFont);
    EXPECT_EQ(layout.rowHeight, std::ceil(m.ascent() + m.descent() + m.leading()) + 12);
    EXPECT_EQ(layout.rowCount, 1);

    const TableLayout headerOnly
        = TableLayout::measure(table(QStringLiteral("| A |\n|---|")), kFont, kHeaderFont);
    EXPECT_EQ(headerOnly.size(), QSizeF(57, headerOnly.headerHeight + 1));
}

TEST(TableLayout, SurplusCellsDoNotWidenTheGrid)
{
    const TableLayout layout = TableLayout::measure(
        table(QStringLiteral("| A |\n|---|\n| x | %1 |").arg(QString(60, u'W'))), kFont,
        kHeaderFont);
    ASSERT_EQ(layout.columnWidths.size(), 1);
    EXPECT_EQ(layout.columnWidths[0], M::minColumnWidth);
}

TEST(TableLayout, CellRectsAndHitTesting)
{
    TableLayout layout;
    layout.columnWidths = { 60, 100 };
    layout.headerHeight = 30;
    layout.rowHeight = 20;
    layout.rowCount = 2;
    EXPECT_EQ(layout.size(), QSizeF(161, 71));
    EXPECT_EQ(layout.cellRect(-1, 1), QRectF(60, 0, 100, 30));
    EXPECT_EQ(layout.cellRect(1, 0), QRectF(0, 50, 60, 20));
    EXPECT_EQ(layout.cellRect(0, 2), QRectF());

    using C = TableLayout::CellIndex;
    EXPECT_EQ(layout.cell({ 59.9, 5 }), (C { -1, 0 }));
    EXPECT_EQ(layout.cell({ 60, 5 }), (C { -1, 1 })); // a column's right edge is the next column
    EXPECT_EQ(layout.cell({ 10, 30 }), (C { 0, 0 }));
    EXPECT_EQ(layout.cell({ 10, 69.9 }), (C { 1, 0 }));
    EXPECT_EQ(layout.cell({ 10, 70 }), std::nullopt);
    EXPECT_EQ(layout.cell({ 160, 5 }), std::nullopt);
    EXPECT_EQ(layout.cell({ -1, 5 }), std::nullopt);
    EXPECT_EQ(TableLayout {}.cell({ 0, 0 }), std::nullopt);
}
