// The editor column's views: the source pane and the block editor in the editor area, the
// view-mode toggle in the top bar, the status bar under them and the find bar over them.
#include "app/ContentView.h"
#include "app/EditorArea.h"
#include "editor/CodeEditorView.h"
#include "editor/LocalSearchSteps.h"
#include "editor/LocalSearchView.h"
#include "editor/StatusBarView.h"
#include "editor/UnifiedBlockEditor.h"
#include "editor/ViewModeToggle.h"
#include "platform/CommandBus.h"
#include "workspace/DocumentAnalyzer.h"
#include "workspace/DocumentSession.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QTimer>

#include <utility>

namespace quillon {

void ContentView::installEditorArea()
{
    WorkspaceState& ws = workspace();
    // Connected before any pane is made, so that it runs first.
    connect(&ws.documentSession(), &DocumentSession::textReplaced, this,
        &ContentView::followActiveTabInSourcePane);
    connect(
        &ws, &WorkspaceState::activeTabURLChanged, this, &ContentView::followActiveTabInSourcePane);
    connect(&ws, &WorkspaceState::openTabsChanged, this, &ContentView::forgetClosedSourcePanes);
    auto* blocks = new UnifiedBlockEditor(ws);
    blocks->setContentWidth(kEditorContentWidth);
    blocks->setDarkMode(isDarkMode());
    blocks->setFontSize(fontSize());
    connect(this, &ContentView::darkModeChanged, blocks, &UnifiedBlockEditor::setDarkMode);
    connect(this, &ContentView::fontSizeChanged, blocks, &UnifiedBlockEditor::setFontSize);
    m_sourcePaneTab = ws.activeTabURL();
    editorArea()->setSourcePane(makeSourcePane());
    editorArea()->setBlocksPane(blocks);
    editorArea()->setMode(kDefaultEditorMode);

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
    // Counting a megabyte's characters takes longer than a keystroke: the figures follow once
    // typing pauses.
    auto* recount = new QTimer(status);
    recount->setSingleShot(true);
    recount->setInterval(100);
    auto count = [status, &ws] {
        const QString text = ws.currentFileContent();
        status->setWordAndCharCount(
            DocumentAnalyzer::wordCount(text), DocumentAnalyzer::characterCount(text));
    };
    connect(recount, &QTimer::timeout, status, count);
    connect(&ws, &WorkspaceState::currentFileContentChanged, recount, qOverload<>(&QTimer::start));
    // Another tab's figures are shown with its text: there is no typing to wait for.
    connect(&ws, &WorkspaceState::activeTabURLChanged, status, [recount, count] {
        recount->stop();
        count();
    });
    connect(
        &analyzer(), &DocumentAnalyzer::tokenCountChanged, status, &StatusBarView::setTokenCount);
    connect(&ws, &WorkspaceState::yamlValidationResultChanged, status,
        [status, &ws] { status->setYamlValidationResult(ws.yamlValidationResult()); });
    connect(&ws, &WorkspaceState::lastSaveErrorChanged, status,
        [status, &ws] { status->setSaveError(ws.lastSaveError()); });
    connect(&ws, &WorkspaceState::documentErrorChanged, status,
        [status, &ws] { status->setDocumentError(ws.documentError()); });
    status->setValues(ws.yamlValidationResult(), analyzer().tokenCount(), 0, 0);
    status->setSaveError(ws.lastSaveError());
    status->setDocumentError(ws.documentError());
    recount->start();
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

CodeEditorView* ContentView::makeSourcePane()
{
    auto* source = new CodeEditorView(workspace());
    source->setDarkMode(isDarkMode());
    source->setFontSize(fontSize());
    connect(this, &ContentView::darkModeChanged, source, &CodeEditorView::setDarkMode);
    connect(this, &ContentView::fontSizeChanged, source, &CodeEditorView::setFontSize);
    return source;
}

void ContentView::followActiveTabInSourcePane()
{
    WorkspaceState& ws = workspace();
    const QString tab = ws.activeTabURL();
    if (tab == m_sourcePaneTab)
        return;
    const QString previous = std::exchange(m_sourcePaneTab, tab);
    QWidget* shown = editorArea()->sourcePane();
    QWidget* next = nullptr;
    for (qsizetype i = 0; i < m_keptSourcePanes.size(); ++i) {
        if (m_keptSourcePanes.at(i).first == tab) {
            next = m_keptSourcePanes.takeAt(i).second;
            break;
        }
    }
    if (!next) {
        // Off screen (or no tab left), the pane shown so far takes the new text once it is shown.
        if (tab.isEmpty() || !shown || !shown->isVisible())
            return;
        next = makeSourcePane();
    }
    const bool hadFocus = shown && shown->isAncestorOf(QApplication::focusWidget());
    // Only the pane shown follows a jump to a line (of its tab's text).
    auto* nextPane = qobject_cast<CodeEditorView*>(next);
    connect(&CommandBus::shared(), &CommandBus::scrollToLine, nextPane,
        &CodeEditorView::scrollToLine, Qt::UniqueConnection);
    if (auto* shownPane = qobject_cast<CodeEditorView*>(shown))
        disconnect(&CommandBus::shared(), &CommandBus::scrollToLine, shownPane,
            &CodeEditorView::scrollToLine);
    editorArea()->showSourcePane(next);
    if (hadFocus && next->isVisible())
        nextPane->textView()->setFocus(Qt::OtherFocusReason);
    if (!shown)
        return;
    if (previous.isEmpty() || !ws.openTabs().contains(previous)) {
        editorArea()->removeSourcePane(shown);
        return;
    }
    m_keptSourcePanes.append({ previous, qobject_cast<CodeEditorView*>(shown) });
    if (m_keptSourcePanes.size() > kKeptSourcePanes)
        editorArea()->removeSourcePane(m_keptSourcePanes.takeFirst().second);
}

void ContentView::forgetClosedSourcePanes()
{
    const QStringList open = workspace().openTabs();
    for (qsizetype i = m_keptSourcePanes.size() - 1; i >= 0; --i) {
        if (!open.contains(m_keptSourcePanes.at(i).first))
            editorArea()->removeSourcePane(m_keptSourcePanes.takeAt(i).second);
    }
}

} // namespace quillon
