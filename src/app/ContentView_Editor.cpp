// The editor column's views: the source pane and the block editor in the editor area, the
// view-mode toggle in the top bar, the status bar under them and the find bar over them.
#include "app/ContentView.h"
#include "app/EditorArea.h"
#include "editor/CodeEditorView.h"
#include "editor/DocumentViews.h"
#include "editor/LocalSearchSteps.h"
#include "editor/LocalSearchView.h"
#include "editor/StatusBarView.h"
#include "editor/UnifiedBlockEditor.h"
#include "editor/ViewModeToggle.h"
#include "workspace/Document.h"
#include "workspace/DocumentAnalyzer.h"
#include "workspace/WorkspaceState.h"

#include <QStackedWidget>

namespace quillon {

void ContentView::installEditorArea()
{
    WorkspaceState& ws = workspace();
    m_documentViews = new DocumentViews(ws, this);
    m_documentViews->setContentWidth(kEditorContentWidth);
    m_documentViews->setDarkMode(isDarkMode());
    m_documentViews->setFontSize(fontSize());
    connect(this, &ContentView::darkModeChanged, m_documentViews, &DocumentViews::setDarkMode);
    connect(this, &ContentView::fontSizeChanged, m_documentViews, &DocumentViews::setFontSize);
    editorArea()->setSourcePane(m_documentViews->sourceStack());
    editorArea()->setBlocksPane(m_documentViews->blocksStack());
    editorArea()->setMode(kDefaultEditorMode);
    connect(editorArea(), &EditorArea::modeChanged, this, &ContentView::showPanesOfMode);
    showPanesOfMode();

    auto* toggle = new ViewModeToggle;
    toggle->setMode(editorArea()->mode());
    toggle->setDarkMode(isDarkMode());
    connect(toggle, &ViewModeToggle::modeChanged, editorArea(), &EditorArea::setMode);
    connect(editorArea(), &EditorArea::modeChanged, toggle, &ViewModeToggle::setMode);
    connect(this, &ContentView::darkModeChanged, toggle, &ViewModeToggle::setDarkMode);
    setSlotContent(Slot::ViewModeToggle, toggle);

    auto* status = new StatusBarView;
    status->setDarkMode(isDarkMode());
    connect(this, &ContentView::darkModeChanged, status, &StatusBarView::setDarkMode);
    // The figures follow once typing pauses, counted off the main thread.
    connect(
        &analyzer(), &DocumentAnalyzer::countsChanged, status, &StatusBarView::setWordAndCharCount);
    connect(
        &analyzer(), &DocumentAnalyzer::tokenCountChanged, status, &StatusBarView::setTokenCount);
    connect(&ws, &WorkspaceState::yamlValidationResultChanged, status,
        [status, &ws] { status->setYamlValidationResult(ws.yamlValidationResult()); });
    connect(&ws, &WorkspaceState::lastSaveErrorChanged, status,
        [status, &ws] { status->setSaveError(ws.lastSaveError()); });
    connect(&ws, &WorkspaceState::documentErrorChanged, status,
        [status, &ws] { status->setDocumentError(ws.documentError()); });
    status->setValues(ws.yamlValidationResult(), analyzer().tokenCount(), analyzer().counts().words,
        analyzer().counts().characters);
    status->setSaveError(ws.lastSaveError());
    status->setDocumentError(ws.documentError());
    setSlotContent(Slot::StatusBar, status);

    auto* find = new LocalSearchView(ws);
    find->setDarkMode(isDarkMode());
    connect(this, &ContentView::darkModeChanged, find, &LocalSearchView::setDarkMode);
    connect(find, &LocalSearchView::nextRequested, this, [&ws] { LocalSearchSteps::stepNext(ws); });
    connect(find, &LocalSearchView::previousRequested, this,
        [&ws] { LocalSearchSteps::stepPrevious(ws); });
    connect(find, &LocalSearchView::closeRequested, this, [&ws] { LocalSearchSteps::close(ws); });
    setSlotContent(Slot::FindBar, find);
}

void ContentView::showPanesOfMode()
{
    const EditorMode mode = editorArea()->mode();
    m_documentViews->setPanesShown(mode != EditorMode::SourceOnly, mode != EditorMode::Blocks);
}

} // namespace quillon
