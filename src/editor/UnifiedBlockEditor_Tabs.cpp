// The block editor's views of the open tabs: the shown tab's view is swapped for another tab's
// as it was left, so that switching tabs neither reloads nor restyles nor lays out the text.
#include "editor/UnifiedBlockEditor.h"

#include "editor/CaretLineTracker.h"
#include "editor/EditorFindController.h"
#include "editor/TableAttachmentCell.h"
#include "editor/TableEditingController.h"
#include "workspace/WorkspaceState.h"

#include <QAbstractTextDocumentLayout>
#include <QStackedLayout>
#include <QTextDocument>

#include <algorithm>

namespace quillon {

UnifiedBlockEditor::ParkedTab::ParkedTab()
    : styled { QString(), false, 15.0, true }
{
}

UnifiedBlockEditor::ParkedTab::~ParkedTab() = default;

std::unique_ptr<UnifiedBlockEditor::ParkedTab> UnifiedBlockEditor::newTab()
{
    auto tab = std::make_unique<ParkedTab>();
    auto* view = new MarkdownTextView(this);
    view->setObjectName(QStringLiteral("blockEditorTextView"));
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    applyPalette(*view, m_isDarkMode);
    view->setReadOnly(!m_workspace.documentError().isEmpty());
    m_stack->addWidget(view);
    tab->view = view;

    QTextDocument* document = view->document();
    document->setUndoRedoEnabled(false);
    document->setDocumentMargin(0);
    tab->projected = std::make_unique<ProjectedDocument>(*document);
    document->documentLayout()->registerHandler(
        ProjectedDocument::kTableObjectType, m_tableRenderer);
    tab->tableEditor = std::make_unique<TableEditingController>(*view, *tab->projected,
        *m_tableRenderer,
        [this](qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement) {
            return applyTableAttachment(index, expected, std::move(replacement));
        });
    tab->tableEditor->setAppearance(m_isDarkMode, m_fontSize);
    tab->caretLine = std::make_unique<CaretLineTracker>();
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);

    // Only the shown view takes input; the callbacks act on whatever is shown.
    view->onEditingKey = [this](MarkdownTextView::EditingKey key) { return handleEditingKey(key); };
    view->onToggleInlineStyle
        = [this](MarkdownLineEditing::InlineStyle style) { toggleInlineStyle(style); };
    view->onClickTable = [this](const QPoint& point) { return m_tableEditor->handleClick(point); };
    view->onClickOutsideTable = [this] { m_tableEditor->commit(); };
    view->onUndo = [this] { undo(); };
    view->onRedo = [this] { redo(); };
    view->onInputHandled = [this] {
        if (!m_isProgrammatic)
            noteCaretLine(-1);
        flushPendingWork();
    };
    view->markdownForRange = [this](int from, int to) { return m_projected->markdown(from, to); };
    view->paintUnderText
        = [this](QPainter& painter, const QRectF& rect) { paintDecorations(painter, rect); };
    connect(document, &QTextDocument::contentsChange, this,
        [this, document](int position, int removed, int added) {
            if (document == m_view->document())
                onContentsChange(position, removed, added);
        });
    connect(view, &QTextEdit::cursorPositionChanged, this, [this, view] {
        if (view == m_view)
            onCursorPositionChanged();
    });
    return tab;
}

void UnifiedBlockEditor::swapShown(ParkedTab& tab)
{
    std::swap(m_shownDocument, tab.url);
    std::swap(m_view, tab.view);
    std::swap(m_projected, tab.projected);
    std::swap(m_tableEditor, tab.tableEditor);
    std::swap(m_caretLine, tab.caretLine);
    // The text is swapped in place: m_markdown refers to it.
    m_styled.text->swap(*tab.styled.text);
    std::swap(m_styled.isDarkMode, tab.styled.isDarkMode);
    std::swap(m_styled.fontSize, tab.styled.fontSize);
    std::swap(m_styled.isReadingMode, tab.styled.isReadingMode);
    std::swap(m_undo, tab.undo);
    std::swap(m_backgroundBlock, tab.backgroundBlock);
    std::swap(m_revealCaret, tab.revealCaret);
    std::swap(m_revealFocused, tab.revealFocused);
    std::swap(m_caretStorage, tab.caretStorage);
}

void UnifiedBlockEditor::showOtherTab(const QString& text)
{
    const QString url = m_workspace.activeTabURL();
    // What waits for the shown text is done before it steps aside.
    flushPendingWork();
    m_tableEditor->teardown();
    m_undo.breakTypingRun();
    const bool hadFocus = m_view->hasFocus();
    const bool comparePending = m_fullCompareTimer.isActive();
    m_fullCompareTimer.stop();
    m_backgroundTimer.stop();
    m_backgroundAwaitsPaint = false;

    std::unique_ptr<ParkedTab> tab = takeParked(url);
    qsizetype caret = 0;
    const bool keeps = tab && *tab->styled.text == text && tab->styled.isDarkMode == m_isDarkMode
        && tab->styled.fontSize == m_fontSize;
    if (tab && !keeps) {
        // Changed while it was not shown: loaded again, the caret where it was.
        caret
            = qMin(text.size(), tab->projected->markdownOffset(tab->view->textCursor().position()));
        discard(std::move(tab));
    }
    if (!tab) {
        tab = newTab();
        tab->url = url;
    }
    const bool comparesLater = keeps && tab->fullComparePending;
    swapShown(*tab);
    tab->fullComparePending = comparePending;
    m_stack->setCurrentWidget(m_view);
    if (hadFocus)
        m_view->setFocus(Qt::OtherFocusReason);
    m_find->setView(*m_view);
    m_view->setReadOnly(!m_workspace.documentError().isEmpty());
    if (!tab->url.isEmpty() && m_workspace.openTabs().contains(tab->url))
        park(std::move(tab));
    else
        discard(std::move(tab));

    if (!keeps) {
        reload(text, caret);
        return;
    }
    centerTextColumn();
    if (comparesLater)
        m_fullCompareTimer.start();
    if (m_backgroundBlock >= 0) {
        m_backgroundAwaitsPaint = true;
        m_backgroundTimer.start(kPaintWaitMs);
    }
    m_find->refresh();
    Q_EMIT presented(0);
}

std::unique_ptr<UnifiedBlockEditor::ParkedTab> UnifiedBlockEditor::takeParked(const QString& url)
{
    const auto found = std::find_if(
        m_parked.begin(), m_parked.end(), [&](const auto& tab) { return tab->url == url; });
    if (found == m_parked.end())
        return nullptr;
    std::unique_ptr<ParkedTab> tab = std::move(*found);
    m_parked.erase(found);
    return tab;
}

void UnifiedBlockEditor::park(std::unique_ptr<ParkedTab> tab)
{
    m_parked.push_back(std::move(tab));
    if (m_parked.size() > kParkedTabs) {
        discard(std::move(m_parked.front()));
        m_parked.erase(m_parked.begin());
    }
}

void UnifiedBlockEditor::discard(std::unique_ptr<ParkedTab> tab)
{
    if (!tab || !tab->view)
        return;
    tab->tableEditor->teardown();
    MarkdownTextView* view = tab->view;
    view->onInputHandled = nullptr;
    disconnect(view->document(), nullptr, this, nullptr);
    disconnect(view, nullptr, this, nullptr);
    // What refers to the view goes before it.
    tab.reset();
    delete view;
}

void UnifiedBlockEditor::forgetClosedTabs()
{
    const QStringList open = m_workspace.openTabs();
    for (auto it = m_parked.begin(); it != m_parked.end();) {
        if (open.contains((*it)->url)) {
            ++it;
            continue;
        }
        discard(std::move(*it));
        it = m_parked.erase(it);
    }
}

} // namespace quillon
