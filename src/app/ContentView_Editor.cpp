// The editor column's views: the block editor (and, to come, the source pane, the view-mode
// toggle, the status bar and the find bar).
#include "app/ContentView.h"
#include "app/EditorArea.h"
#include "editor/UnifiedBlockEditor.h"

namespace quillon {

void ContentView::installEditorArea()
{
    auto* blocks = new UnifiedBlockEditor(workspace());
    blocks->setContentWidth(kEditorContentWidth);
    blocks->setDarkMode(isDarkMode());
    blocks->setFontSize(fontSize());
    connect(this, &ContentView::darkModeChanged, blocks, &UnifiedBlockEditor::setDarkMode);
    connect(this, &ContentView::fontSizeChanged, blocks, &UnifiedBlockEditor::setFontSize);
    editorArea()->setBlocksPane(blocks);
    editorArea()->setMode(EditorMode::Blocks);
}

} // namespace quillon
