// The editor column's views: the source pane and the block editor in the editor area, the
// view-mode toggle in the top bar, the status bar under them and the find bar over them.
#include "app/ContentView.h"
#include "app/EditorArea.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/chrome/DiskQuestionBar.h"
#include "editor/chrome/LocalSearchSteps.h"
#include "editor/chrome/LocalSearchView.h"
#include "editor/chrome/StatusBarView.h"
#include "editor/chrome/ViewModeToggle.h"
#include "editor/document/DocumentViews.h"
#include "editor/source/CodeEditorView.h"
#include "workspace/Document.h"
#include "workspace/DocumentAnalyzer.h"
#include "workspace/WorkspaceState.h"

#include <QBoxLayout>
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

    // Over the editors, in the page's layout: the text moves down while it shows, and keeps the
    // keyboard.
    m_diskQuestionBar = new DiskQuestionBar(m_editorPage);
    m_diskQuestionBar->setDarkMode(isDarkMode());
    m_diskQuestionBar->hide();
    static_cast<QBoxLayout*>(m_editorPage->layout())->insertWidget(0, m_diskQuestionBar);
    connect(this, &ContentView::darkModeChanged, m_diskQuestionBar, &DiskQuestionBar::setDarkMode);
    auto answer = [&ws](Document::DiskChoice choice) {
        if (Document* doc = ws.activeDocument())
            doc->answerDiskQuestion(choice);
    };
    connect(m_diskQuestionBar, &DiskQuestionBar::keepMineChosen, this,
        [answer] { answer(Document::DiskChoice::KeepMine); });
    connect(m_diskQuestionBar, &DiskQuestionBar::loadDiskChosen, this,
        [answer] { answer(Document::DiskChoice::LoadDisk); });
    connect(m_diskQuestionBar, &DiskQuestionBar::laterChosen, this,
        [answer] { answer(Document::DiskChoice::Later); });
    connect(&ws, &WorkspaceState::activeTabURLChanged, this, &ContentView::followDiskQuestion);
    followDiskQuestion();

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

void ContentView::followDiskQuestion()
{
    disconnect(m_diskQuestionFollowed);
    Document* doc = workspace().activeDocument();
    auto show = [this, doc] {
        const auto question = doc ? doc->diskQuestion() : std::nullopt;
        if (question)
            m_diskQuestionBar->setQuestion(question->message, question->informativeText);
        m_diskQuestionBar->setVisible(question.has_value());
    };
    if (doc)
        m_diskQuestionFollowed = connect(doc, &Document::diskQuestionChanged, this, show);
    show();
}

void ContentView::showPanesOfMode()
{
    const EditorMode mode = editorArea()->mode();
    m_documentViews->setPanesShown(mode != EditorMode::SourceOnly, mode != EditorMode::Blocks);
}

} // namespace quillon
