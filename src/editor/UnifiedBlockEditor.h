#pragma once

#include "editor/BlockStylePresenter.h"
#include "editor/MarkdownTextView.h"
#include "workspace/MarkdownUndoStack.h"
#include "editor/ProjectedDocument.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownLineEditing.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "markdown/TableAttachment.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

class QStackedLayout;

namespace quillon {

class CaretLineTracker;
class EditorFindController;
class TableAttachmentCell;
class TableEditingController;
class WorkspaceState;
struct TextEdit;

// The block editor: Markdown styled in place with its syntax markers hidden except where the
// caret touches them, fenced code in boxes, list markers drawn as bullets and checkboxes, pipe
// tables drawn as grids and edited cell by cell.
//
// It shows WorkspaceState::currentFileContent and reports the document's Markdown to the
// workspace's DocumentSession on every user edit (never on loading or restyling). Its undo
// history holds Markdown-level replacements; replacing the text from outside clears it. Each open
// tab keeps its own view, styling, caret and history while another tab is shown.
class UnifiedBlockEditor : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal defaultContentWidth = 720;

    explicit UnifiedBlockEditor(WorkspaceState& workspace, QWidget* parent = nullptr);
    ~UnifiedBlockEditor() override;

    bool isDarkMode() const { return m_isDarkMode; }
    void setDarkMode(bool dark);
    qreal fontSize() const { return m_fontSize; }
    void setFontSize(qreal size);
    qreal contentWidth() const { return m_contentWidth; }
    void setContentWidth(qreal width);

    MarkdownTextView* textView() const { return m_view; }
    TableEditingController& tableEditor() const { return *m_tableEditor; }
    const ProjectedDocument& projected() const { return *m_projected; }
    // The document's Markdown as last written.
    const QString& markdown() const { return m_markdown; }

    void undo();
    void redo();
    bool canUndo() const { return m_undo.canUndo(); }
    bool canRedo() const { return m_undo.canRedo(); }

    // A rule's edit (storage offsets) applied as one undoable change; false when refused.
    bool applyEdit(const MarkdownLineEditing::Edit& edit);
    void toggleInlineStyle(MarkdownLineEditing::InlineStyle style);
    // Selects and reveals a 1-based line of the Markdown text.
    void scrollToLine(int line);
    // Restyles now if an edit or caret move is waiting for it.
    void flushPendingWork();

    // The caret as a Markdown offset.
    qsizetype caretMarkdownOffset() const;

Q_SIGNALS:
    // After each restyle or reload, with the number of paragraphs whose styling was applied.
    void presented(int restyledParagraphs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An open tab's view as it was last shown, with everything that belongs to its text.
    struct ParkedTab
    {
        ParkedTab();
        ~ParkedTab();
        QString url;
        MarkdownTextView* view = nullptr;
        std::unique_ptr<ProjectedDocument> projected;
        std::unique_ptr<TableEditingController> tableEditor;
        std::unique_ptr<CaretLineTracker> caretLine;
        MarkdownTextViewSupport::HighlightState styled;
        MarkdownUndoStack undo;
        int backgroundBlock = -1;
        bool fullComparePending = false;
        qsizetype revealCaret = -1;
        bool revealFocused = false;
        qsizetype caretStorage = 0;
    };
    // A new view, its document set up and connected to this editor, holding no text yet.
    std::unique_ptr<ParkedTab> newTab();
    static void applyPalette(MarkdownTextView& view, bool dark);
    // Exchanges the shown tab's view and state with `tab`'s.
    void swapShown(ParkedTab& tab);
    // Shows the active tab: its parked view when that still holds its text in this appearance,
    // else a fresh view loaded with `text`. The tab shown so far is parked while it is open.
    void showOtherTab(const QString& text);
    std::unique_ptr<ParkedTab> takeParked(const QString& url);
    void park(std::unique_ptr<ParkedTab> tab);
    void discard(std::unique_ptr<ParkedTab> tab);
    void forgetClosedTabs();

    void onWorkspaceContentChanged();
    // Applies an edit another view made, reloading only where it cannot be applied in place.
    void followEdit(const TextEdit& edit);
    // The edit applied to the paragraphs (and tables) it touches; false when the storage is not
    // the text it was made on.
    bool applyOutsideEdit(const TextEdit& edit);
    // The Markdown ranges of the storage's tables, ascending.
    QList<TextRange> tableMarkdownRanges() const;
    void onContentsChange(int position, int removed, int added);
    void onCursorPositionChanged();
    // Restyles the lines the caret left and reached when it stands on another line than at the
    // last styling (a click may land where the caret already was).
    void noteCaretLine(int previousBlock);
    void reload(const QString& markdown, qsizetype markdownCaret);
    // Restyles the storage and presents the paragraphs of the pending window.
    void restyle(bool insideDocumentChange = false);
    // Widens the window of paragraphs the next restyle compares.
    void markParagraphsDirty(int firstBlock, int lastBlock);
    void markCaretParagraphDirty(int block);
    void markAllParagraphsDirty()
    {
        m_dirtyAll = true;
        m_fullHighlight = true;
    }
    // Highlights the whole storage and compares every paragraph in the background.
    void refreshEverything();
    void presentDeferred();
    // Restyles every paragraph of the storage (its tables stay as they are).
    void restyleWholeStorage(const HighlightOptions& options);
    // Restyles everything when the appearance or size differ from the last styling.
    void restyleForAppearance();
    // With `afterPaint`, the pass waits for the view's next paint (the part in view first).
    void startBackgroundPass(bool afterPaint);
    void backgroundStep();
    void schedulePendingWork();
    bool applyTableAttachment(
        qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement);
    bool applyReplacement(const MarkdownReplacement& change);
    bool handleEditingKey(MarkdownTextView::EditingKey key);
    void writeToWorkspace(const MarkdownReplacement& change);
    void centerTextColumn();
    void paintDecorations(QPainter& painter, const QRectF& documentRect);
    // The start and end (before its line break) of the Markdown lines a change touches.
    std::pair<qsizetype, qsizetype> linesAround(const MarkdownReplacement& change) const;
    // The text of those lines before the change, and after it.
    std::pair<QStringView, QString> linesBeforeAndAfter(const MarkdownReplacement& change) const;
    HighlightOptions highlightOptions() const;
    bool tableStructureMayHaveChanged(const MarkdownReplacement& change) const;
    // Adds to `markdown` the line breaks the view shows between a table and text that an edit
    // at [position, position + added) of the storage put on the table's line; true if any.
    bool separateTablesFromText(QString& markdown, int position, int added);
    // A Markdown offset of the storage's text as an offset of the text with those breaks.
    qsizetype withTableLineBreaks(qsizetype markdownOffset) const;
    // True when the change can restyle text beyond the paragraphs it touches.
    bool mayRestyleFarAway(const MarkdownReplacement& change) const;

    WorkspaceState& m_workspace;
    QStackedLayout* m_stack = nullptr;
    MarkdownTextView* m_view = nullptr;
    std::unique_ptr<ProjectedDocument> m_projected;
    TableAttachmentCell* m_tableRenderer = nullptr;
    std::unique_ptr<TableEditingController> m_tableEditor;
    std::unique_ptr<CaretLineTracker> m_caretLine;
    std::unique_ptr<EditorFindController> m_find;
    BlockStylePresenter m_presenter;
    // Paragraphs whose styling may have changed since the last presentation.
    bool m_dirtyAll = true;
    bool m_fullHighlight = true; // else only the paragraphs in m_localBlocks are re-highlighted
    QList<QPair<int, int>> m_localBlocks;
    bool m_presentPending = false;
    BlockStylePresenter::Window m_deferredWindow;
    int m_dirtyFirst = -1;
    int m_dirtyLast = -1;
    // Once typing pauses: the whole document is highlighted again and compared in the
    // background, which settles what line-by-line styling could not see.
    QTimer m_fullCompareTimer;
    // Presents the whole document in chunks between events (after a reload, and once typing
    // pauses).
    static constexpr int kBackgroundChunk = 800;
    static constexpr int kVisibleMargin = 150;
    QTimer m_backgroundTimer;
    int m_backgroundBlock = -1;
    bool m_backgroundAwaitsPaint = false; // starts after the next paint, or after this long:
    static constexpr int kPaintWaitMs = 250;
    MarkdownUndoStack m_undo;
    // The inputs of the last styling; its text is the document's Markdown as last written.
    MarkdownTextViewSupport::HighlightState m_styled { QString(), false, 15.0, true };
    QString& m_markdown = *m_styled.text;
    QString m_shownDocument; // the active tab whose text is shown
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    qreal m_contentWidth = defaultContentWidth;

    bool m_isProgrammatic = false; // the editor itself is changing the document
    MarkdownUndoStack::Kind m_editKind = MarkdownUndoStack::Kind::Typing;
    bool m_editSinceCaretMove = false;
    qsizetype m_caretStorage = 0;
    // The caret and focus the markers were last revealed for. A caret move within its line
    // restyles nothing, and the settling pass reveals for these too, so that what shows does
    // not depend on whether that pass has run.
    qsizetype m_revealCaret = -1;
    bool m_revealFocused = false;
    bool m_restylePending = false;
    bool m_reloadPending = false;
    // Line breaks the pending reload adds to the storage's Markdown: where (Markdown offset
    // before the break was added), and whether a caret there stands after the break.
    QList<QPair<qsizetype, bool>> m_tableLineBreaks;
    bool m_flushQueued = false;
    // Other open tabs, most recently shown last: coming back to one costs no reload, restyle
    // or layout, and finds its caret, scroll position and history as they were.
    std::vector<std::unique_ptr<ParkedTab>> m_parked;
    static constexpr size_t kParkedTabs = 4;
};

} // namespace quillon
