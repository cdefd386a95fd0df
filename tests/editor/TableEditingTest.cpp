#include "EditorHarness.h"

#include "editor/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>

using namespace quillon;
using namespace quillon::test;

namespace {

const QString kDoc
    = QStringLiteral("Intro\n\n| A | B |\n|---|---|\n| 1 | 2 |\n| 3 | 4 |\n\nOutro\n");

// The viewport point at the centre of a cell of the first table.
QPoint cellCenter(const EditorHarness& h, int row, int column)
{
    const QString& text = h.editor->projected().storage().text();
    const int index = int(text.indexOf(QChar::ObjectReplacementCharacter));
    const auto origin = h.editor->tableEditor().originOf(index);
    const auto* table = MarkdownTableProjection::tableAt(h.editor->projected().storage(), index);
    if (!origin || !table)
        return {};
    return (table->layout().cellRect(row, column).center() + *origin).toPoint();
}

} // namespace

TEST(TableDrawing, GridIsDrawnWhole)
{
    EditorHarness h(kDoc);
    const QPoint topLeftCell = cellCenter(h, -1, 0);
    ASSERT_FALSE(topLeftCell.isNull());
    QImage image = h.viewport()->grab().toImage();
    image.save("/tmp/grid.png");
}
