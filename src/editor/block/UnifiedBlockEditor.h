#pragma once

#include "editor/block/BlockStylePresenter.h"
#include "editor/block/MarkdownTextView.h"
#include "editor/block/ProjectedDocument.h"
#include "editor/document/DocumentBinding.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownLineEditing.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "markdown/StructureAroundEdit.h"
#include "markdown/TableAttachment.h"
#include "platform/ChunkedText.h"
#include "workspace/MarkdownUndoStack.h"

#include <QFuture>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QKeyEvent;

namespace quillon {

class AfterFirstPaint;
class BackgroundStyling;
class CaretLineTracker;
class Document;
class DocumentFind;
class EditorFindController;
class RestyleScheduler;
struct FindPane;
class TableAttachmentCell;
class WorkspaceState;
struct ReplacedStretch;
struct TextEdit;

// The block editor: Markdown styled in place with its syntax markers hidden except where the
// caret touches them, fenced code in boxes, list markers drawn as bullets and checkboxes, pipe
// tables drawn as grids and edited cell by cell.
//
// It is made for one Document and shows that document for its whole life. Every user edit goes
// to the document as a range of its Markdown (never a load or a restyle); edits that other views
// of the document made arrive as ranges and are applied on the next turn of the event loop, all
// that came meanwhile as one. Undo and redo walk the document's history, which every view of it
// shares. Reads the editor font size of the workspace (a new appearance or size is shown while
// the view is on screen, else once it is shown again); paints the document's find matches while
// it is the view on screen.
class UnifiedBlockEditor : public QWidget, private BoundPane
{
    Q_OBJECT
public:
    static constexpr qreal defaultContentWidth = 720;

    // Styled for `isDarkMode` from the start. `find` is the document's find model, shared with
    // its other views; without one the editor keeps its own.
    UnifiedBlockEditor(Document& document, WorkspaceState& workspace, bool isDarkMode = false,
        QWidget* parent = nullptr, DocumentFind* find = nullptr);
    ~UnifiedBlockEditor() override;

    bool isDarkMode() const { return m_binding->isDarkMode(); }
    void setDarkMode(bool dark) { m_binding->setDarkMode(dark); }
    qreal fontSize() const { return m_binding->fontSize(); }
    void setFontSize(qreal size) { m_binding->setFontSize(size); }
    qreal contentWidth() const { return m_contentWidth; }
    void setContentWidth(qreal width);

    MarkdownTextView* textView() const { return m_view; }
    TableEditingController& tableEditor() const { return *m_tableEditor; }
    const ProjectedDocument& projected() const { return *m_projected; }
    Document& document() const { return m_document; }
    // The Markdown this view shows (the document's, once edits of other views are applied).
    QString markdown() const { return m_projected->markdown(); }

    void undo() { m_binding->undo(); }
    void redo() { m_binding->redo(); }
    bool canUndo() const;
    bool canRedo() const;

    // A rule's edit (storage offsets) applied as one undoable change; false when refused.
    bool applyEdit(const MarkdownLineEditing::Edit& edit);
    void toggleInlineStyle(MarkdownLineEditing::InlineStyle style);
    // Selects and reveals a 1-based line of the Markdown text.
    void scrollToLine(int line);
    // Applies edits of other views and restyles now if anything is waiting for it.
    void flushPendingWork();
    // A long text is still going into the view's document.
    bool isLoading() const override;
    // Whether the whole text is being styled or presented again, a slice at a time.
    bool isRestylingWhole() const;
    // The length of text styled whole (in the background, or ahead of it) since the last call.
    qsizetype takeStyledLength();
    // The paragraphs presented after styling passes since the last call, for tests.
    int takePresentedAfterPasses() { return std::exchange(m_presentedAfterPasses, 0); }
    // Whether the find matches are painted here (and, with a model of its own, counted): only in
    // the view on screen.
    void setFindActive(bool active);

    // The caret as a Markdown offset.
    qsizetype caretMarkdownOffset() const;

    // While held, a long text opened is projected on the other thread only once the view
    // needs it (or once released): tests hold it to type into a first screen.
    static void holdProjectionsForTesting(bool held);

Q_SIGNALS:
    // After each restyle or reload, with the number of paragraphs whose styling was applied.
    void presented(int restyledParagraphs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    static void applyPalette(MarkdownTextView& view, bool dark);
    // BoundPane
    void followEdits(const QList<TextEdit>& edits, const ReplacedStretch* outside) override;
    void showReplaced(const ReplacedStretch& stretch) override;
    // The document holds the step already; the view follows.
    void showStep(const MarkdownReplacement& change) override;
    void setEditable(bool editable) override { m_view->setReadOnly(!editable); }
    bool mayEdit() const override { return !m_view->isReadOnly(); }
    void showAppearance() override;
    void followQueued() override { flushPendingWork(); }
    bool prepareForStep() override;
    void setUpView();
    FindPane findPane();

    // A selection as Markdown offsets.
    struct MarkdownSelection
    {
        qsizetype anchor = 0;
        qsizetype caret = 0;
    };
    // The view's selection carried through a change of the Markdown it shows.
    MarkdownSelection selectionThrough(const ReplacedStretch& stretch) const;
    void select(const MarkdownSelection& selection);
    // Shows the document's text whole after a change from outside, with `selection`.
    void reloadFromOutside(const MarkdownSelection& selection, const ReplacedStretch& stretch);
    // Writes what was typed in a cell open before a change from outside into its table, which
    // stands now at the storage offset `at`, on the next turn.
    void commitCellLater(const TableEditingController::OpenCell& open, qsizetype at);
    // The edit applied to the paragraphs (and tables) it touches, with `selection` when given;
    // false when the storage is not the text it was made on.
    bool applyOutsideEdit(const TextEdit& edit, const MarkdownSelection* selection = nullptr);
    void onContentsChange(int position, int removed, int added);
    void onCursorPositionChanged();
    // Restyles the lines the caret left and reached when it stands on another line than at the
    // last styling (a click may land where the caret already was).
    void noteCaretLine(int previousBlock);
    // Restyles the paragraphs marked dirty now, unless the text waits for a whole restyle or
    // for edits to be shown; true when it did.
    bool restyleLinesAlone();
    // With `inParts`, a long text goes into the view's document a part per turn of the event
    // loop (the caret then at the top): the window shows its first screen at once.
    void reload(const ChunkedText& markdown, qsizetype markdownCaret, bool inParts = false);
    void loadNextPart();
    // Puts the rest of the text into the view's document now: whatever reads or edits it at a
    // place of its own needs all of it.
    void finishLoading() override;
    void loaded();
    // Restyles the storage and presents the paragraphs of the pending window.
    void restyle(bool insideDocumentChange = false);
    // Widens the window of paragraphs the next restyle compares.
    void markParagraphsDirty(int firstBlock, int lastBlock);
    // False when the caret's line reveals nothing (empty, or a table), and nothing was marked.
    bool markCaretParagraphDirty(int block);
    // Whether a paragraph of the view is a part of a long line after its first; none when the
    // view holds the whole text.
    std::function<bool(int block)> softStarts() const;
    void markAllParagraphsDirty()
    {
        m_dirtyAll = true;
        m_fullHighlight = true;
    }
    // Highlights the whole storage and compares every paragraph in the background (once typing
    // pauses).
    void refreshEverything();
    // Styles again, alone, the stretches between the last whole pass's cuts that hold `ranges`
    // and the caret, when that gives what a whole pass would; false when a whole pass is due.
    bool restyleStretchesAround(const QList<TextSpan>& ranges);
    void presentDeferred();
    // Restyles every paragraph of the storage (its tables stay as they are).
    void restyleWholeStorage(const HighlightOptions& options);
    // While the storage is styled in slices: styles what the window of paragraphs needs now,
    // and narrows it to the paragraphs that then hold their final styling; false for none.
    bool styleForWindow(BlockStylePresenter::Window& window);
    // Presents the paragraphs near the view that a slice of the styling pass restyled.
    void presentStyled(TextSpan stretch);
    // Restyles everything when the appearance or size differ from the last styling.
    void restyleForAppearance();
    // What a change of appearance keeps while the text goes back into the view in parts: the
    // caret (a Markdown offset), the paragraph at the top of the view and how far above it the
    // view starts, and the selection's anchor (-1: at the caret). The view is not painted
    // meanwhile: it would show the text's beginning.
    struct PlaceAfterLoad
    {
        qsizetype caret = 0;
        int topBlock = -1;
        qreal topOffset = 0;
        qsizetype anchor = -1;
        // Kept from the first screen of a text just opened (keepFirstScreenPlace), with the
        // Markdown offset of the paragraph at the top, which follows the document's changes.
        bool firstScreen = false;
        qsizetype top = -1;
    };
    // Once a reload in parts has put the caret's text and the text that was in view into the
    // view's document: puts the caret back and the text in view again, and shows the view; false
    // while they have not gone in yet.
    bool restorePlaceAfterLoad();
    // Reloads the document's text with another appearance, then brings back `place`.
    void reloadKeepingPlace(PlaceAfterLoad place);
    void reloadTakenOut();
    // The reload of a long text taken out, once the projection begun on another thread when it
    // was taken out is ready: until then the window goes on answering.
    void reloadWhenProjected();
    // Projects the document's text as it is now on another thread, for the next reload.
    void startProjecting();
    // Opening a long text: its beginning alone goes into the view and is shown, and the whole
    // text after the view's first paint (or before any input): installing every table and
    // filling the window wait until the window has something on screen.
    void loadFirstScreen();
    // While the view shows the first screen alone: where the user has the caret, the selection
    // and the view become the place the whole text comes back to.
    void keepFirstScreenPlace();
    // Loads the whole text with the caret, the selection and the view at the place kept from
    // the first screen: the caret's line is revealed as the text is styled, as at any load.
    void loadWholeAtFirstScreenPlace();
    // A step of the pass that presents the whole document in chunks.
    void presentChunk(int firstBlock, int lastBlock);
    // Presents the whole document in chunks, or paragraphs [firstBlock, lastBlock]; what the
    // styling passes left to present is shown once they are all done and the text is the same.
    void presentInChunks(bool afterPaint, int firstBlock = 0, int lastBlock = -1);
    // A styling pass is done: what it styled is presented, at once when it is a few paragraphs
    // of the view (none when all of it lies out of the view), else in chunks.
    void presentAfterPass();
    // The view's document holds a window of the storage: positions cross through these.
    int toView(qsizetype storageOffset) const { return m_projected->toDocument(storageOffset); }
    qsizetype toStorage(int viewPosition) const { return m_projected->toStorage(viewPosition); }
    int presentBlocks(const BlockStylePresenter::Window& window);
    // A Markdown range as the storage's, a table's character whole when the range reaches
    // into its Markdown.
    std::pair<qsizetype, qsizetype> storageRange(const TextRange& match) const;
    // Moves the window over the storage's paragraphs [firstLine, endLine), keeping the selection
    // and the text at the top of the view.
    void moveWindow(int firstLine, int endLine);
    // Puts other text into the view by `refill`, keeping the selection and the text at the top.
    void refillKeepingPlace(const std::function<void()>& refill);
    // Moves the window so that it holds storage[from, to] well inside it.
    void coverRange(qsizetype from, qsizetype to);
    void followScroll();
    bool windowKey(QKeyEvent& event);
    // The paragraph of the storage at height y of the view, and the y of its top.
    using LineTop = TextWindow::LineTop;
    TextWindow::Frame windowFrame() const;
    LineTop lineAtY(double y) const;
    double topOfLine(int line) const;
    // Scrolls so that the storage's paragraph `line` starts `within` above the view's top, its
    // neighbours measured first: measured while the scroll shows them, they would move it.
    void scrollToLineTop(int line, double within);
    void keepHeights();
    void showWindowHeights();
    // Places the selection (storage offsets); one outside the window is kept aside until the
    // window comes back to it.
    void restoreSelection(qsizetype anchor, qsizetype caret);
    std::pair<qsizetype, qsizetype> storageSelection() const;
    // Presents the paragraphs around `block` at once and the rest of the window in steps.
    void presentFilled(int block);
    // Styles and presents the paragraphs around `block` at once, as the background pass may not
    // have come this far: measured before they are styled, they would change height after.
    void presentAround(int block);
    // Presents the paragraphs around the caret, puts the view's top at `top(page height)` with
    // the paragraphs around that place measured first, and makes sure the caret is visible.
    void scrollMeasured(const std::function<double(double page)>& top);
    // Scrolls the caret into view, if it is not, with the paragraphs on the screen around it
    // styled and measured first.
    void showCaretMeasured();
    // Projects the stretch of m_tablesToShowAgain again, or the whole text where it cannot.
    void showTablesAgain();
    // Adds `stretch` (of the document's text) to what m_tablesToShowAgain covers.
    void showTablesAgainOver(TextRange stretch);
    // Shows the document's text whole, the caret where it was and in view.
    void showWholeTextAtCaret();
    // Whether the caret stands inside the Markdown of a table of the text around `stretch` with
    // text after it on its line: a row being typed into a line that held text.
    bool caretInsideTableAround(const TextRange& stretch) const;
    bool m_movingWindow = false;
    bool m_scrollQueued = false;
    std::optional<std::pair<qsizetype, qsizetype>> m_detached;
    void schedulePendingWork();
    bool applyTableAttachment(
        qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement);
    bool handleEditingKey(MarkdownTextView::EditingKey key);
    void writeToDocument(const MarkdownReplacement& change);
    void centerTextColumn();
    void paintDecorations(QPainter& painter, const QRectF& documentRect);
    HighlightOptions highlightOptions() const;
    // The Markdown lines a change touches, before it and after it.
    using ChangeLines = StructureAroundEdit::Lines;
    static ChangeLines linesAfter(
        const MarkdownReplacement& change, qsizetype start, const QString& before);
    // Read in the document (which does not hold the change yet) or in the view (which does not).
    ChangeLines documentLinesAround(const MarkdownReplacement& change) const;
    ChangeLines viewLinesAround(const MarkdownReplacement& change) const;
    // Adds to `markdown` the line breaks the view shows between a table and text that an edit
    // at [position, position + added) of the storage put on the table's line; true if any.
    // `markdown` is the Markdown of the storage from the Markdown offset `markdownFrom` on.
    bool separateTablesFromText(
        QString& markdown, int position, int added, qsizetype markdownFrom = 0);
    // A Markdown offset of the storage's text as an offset of the text with those breaks.
    qsizetype withTableLineBreaks(qsizetype markdownOffset) const;
    // The tables of the document's lines around its [from, to), and those the storage shows
    // there (see StructureAroundEdit::tablesAround).
    std::optional<StructureAroundEdit::TablesAround> tablesAround(
        qsizetype from, qsizetype to, qsizetype delta, bool farAway) const;
    // The view shows other tables than the document's text holds around its `stretch`.
    bool tablesDifferFromText(TextRange stretch, bool farAway) const;

    Document& m_document;
    std::unique_ptr<DocumentBinding> m_binding;
    MarkdownTextView* m_view = nullptr;
    std::unique_ptr<ProjectedDocument> m_projected;
    TableAttachmentCell* m_tableRenderer = nullptr;
    std::unique_ptr<TableEditingController> m_tableEditor;
    std::unique_ptr<CaretLineTracker> m_caretLine;
    std::unique_ptr<DocumentFind> m_ownFind; // when no model was handed in
    std::unique_ptr<EditorFindController> m_find;
    BlockStylePresenter m_presenter;
    // Styles a long storage whole in slices between events (declared after the storage it
    // styles, so that it goes first).
    std::unique_ptr<BackgroundStyling> m_styling;
    // From this length on; a shorter text is styled at once in a few milliseconds.
    static constexpr qsizetype kSlicedLength = 256 * 1024;
    // Paragraphs whose styling may have changed since the last presentation.
    bool m_dirtyAll = true;
    bool m_fullHighlight = true; // else only the paragraphs in m_localBlocks are re-highlighted
    QList<QPair<int, int>> m_localBlocks;
    // The storage ranges styled line by line since the storage was last styled whole.
    QList<TextSpan> m_restyledAlone;
    bool m_presentPending = false;
    BlockStylePresenter::Window m_deferredWindow;
    int m_dirtyFirst = -1;
    int m_dirtyLast = -1;
    // When the whole document is compared (once typing pauses) and presented in chunks between
    // events (after a reload, and after that comparison).
    std::unique_ptr<RestyleScheduler> m_restyles;
    // Of the styling the chunks present, and of the text they were started on.
    quint64 m_presentingGeneration = 0;
    quint64 m_presentingRevision = 0;
    int m_presentedAfterPasses = 0;
    static constexpr int kVisibleMargin = 150;
    // The appearance of the last styling.
    bool m_styledDark = false;
    qreal m_styledFontSize = 0;
    bool m_shownDark = false; // the palette's
    qreal m_contentWidth = defaultContentWidth;

    bool m_isProgrammatic = false; // the editor itself is changing the document
    bool m_editIsCommand = false; // the edit under way is a rule's, a toggle's or a commit's
    bool m_editSinceCaretMove = false;
    qsizetype m_caretStorage = 0;
    // The caret and focus the markers were last revealed for. A caret move within its line
    // restyles nothing, and the settling pass reveals for these too, so that what shows does
    // not depend on whether that pass has run.
    qsizetype m_revealCaret = -1;
    bool m_revealFocused = false;
    bool m_restylePending = false;
    bool m_reloadPending = false;
    // The stretch of the Markdown (in the document's text) whose tables the view shows
    // otherwise than the text has them after an edit made in it: projected again on the next
    // turn, the tables of the rest of the text left as they are.
    std::optional<TextRange> m_tablesToShowAgain;
    // The storage shows the document's text otherwise than a fresh load would until the next turn.
    bool storageLags() const { return m_reloadPending || m_tablesToShowAgain.has_value(); }
    std::optional<PlaceAfterLoad> m_placeAfterLoad;
    // The text was taken out of the view to go back in on the next turn.
    bool m_reloadNextTurn = false;
    // The view shows the text's beginning alone (m_reloadNextTurn is set too).
    bool m_firstScreenOnly = false;
    std::unique_ptr<AfterFirstPaint> m_afterFirstPaint;
    // Meanwhile the whole text is projected on another thread, for the document's version and
    // the appearance it was begun with.
    // The document's edits since then are kept while each leaves the tables as they were:
    // the projection takes them as plain characters.
    struct Projecting
    {
        QFuture<ProjectedDocument::Projection> projection;
        std::shared_ptr<std::atomic_bool> wanted;
        quint64 version = 0;
        bool isDarkMode = false;
        qreal fontSize = 0;
        QList<TextEdit> edits;
        bool editsTaken = true;
    };
    std::optional<Projecting> m_projecting;
    // The projection begun for `markdown` if it is still the document's text as it was then,
    // or that text with the edits kept since.
    struct TakenProjection
    {
        ProjectedDocument::Projection projection;
        QList<TextEdit> edits;
    };
    std::optional<TakenProjection> takeProjection(const ChunkedText& markdown);
    // Keys typed while the first screen is shown and the projection is not ready are the first
    // screen's, as long as they edit its text alone, away from its end and from tables and
    // fences: the user sees them at once, and the projection takes them when it is done.
    bool typesIntoFirstScreen(const QKeyEvent& key) const;
    void keepForProjection(const TextEdit& edit);
    bool m_typingIntoFirstScreen = false;
    // The text is going into the view's document (a reload).
    bool m_loadingText = false;
    // Line breaks the pending reload adds to the storage's Markdown: where (Markdown offset
    // before the break was added), and whether a caret there stands after the break.
    QList<QPair<qsizetype, bool>> m_tableLineBreaks;
    bool m_flushQueued = false;
    // The Markdown offset the next reload's window is placed around (-1: the caret's).
    qsizetype m_loadAround = -1;
};

} // namespace quillon
