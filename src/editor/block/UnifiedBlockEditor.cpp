#include "editor/block/UnifiedBlockEditor.h"

#include "editor/block/BackgroundStyling.h"
#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/BlockStylePresenter.h"
#include "editor/block/CaretLineTracker.h"
#include "editor/block/DecorationPainter.h"
#include "editor/block/LineEditingKeys.h"
#include "editor/block/RestyleScheduler.h"
#include "editor/document/AfterFirstPaint.h"
#include "editor/document/DocumentFind.h"
#include "editor/document/EditorFindController.h"
#include "editor/document/FlagScope.h"
#include "editor/document/HeldInput.h"
#include "editor/table/TableAttachmentCell.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTableProjection.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <atomic>
#include <thread>

namespace quillon {

namespace {

std::atomic_bool projectionsHeld { false };

// A projection begun on another thread: while tests hold projections, it waits until its view
// asks for it (`wanted`) or the hold ends.
void waitWhileHeld(const std::atomic_bool& wanted)
{
    while (projectionsHeld.load() && !wanted.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

void UnifiedBlockEditor::holdProjectionsForTesting(bool held)
{
    projectionsHeld = held;
}

UnifiedBlockEditor::UnifiedBlockEditor(
    Document& document, WorkspaceState& workspace, bool dark, QWidget* parent, DocumentFind* find)
    : QWidget(parent)
    , m_document(document)
    , m_binding(std::make_unique<DocumentBinding>(
          document, workspace, *this, static_cast<BoundPane&>(*this), dark))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tableRenderer = new TableAttachmentCell(this);
    RestyleScheduler::Hooks hooks;
    hooks.paused = [this] { refreshEverything(); };
    hooks.isLoading = [this] { return isLoading(); };
    hooks.mustWait = [this] { return storageLags() || m_restylePending || m_presentPending; };
    hooks.presentChunk = [this](int first, int last) { presentChunk(first, last); };
    hooks.blockCount = [this] { return m_view->document()->blockCount(); };
    hooks.finished = [this] {
        // Paragraphs a change moved while the chunks went by may have been left out.
        if (m_projected->textRevision() == m_presentingRevision)
            m_styling->presented(m_presentingGeneration);
        m_view->settleWhenIdle();
    };
    m_restyles = std::make_unique<RestyleScheduler>(std::move(hooks));
    setUpView();
    layout->addWidget(m_view);
    // Made before the document's signals are connected, so that it hears of a change first.
    if (!find) {
        m_ownFind = std::make_unique<DocumentFind>(document, workspace);
        find = m_ownFind.get();
    }
    m_find = std::make_unique<EditorFindController>(*m_view, *find, findPane());

    // While the text is out of the view, the caret it goes back to follows the document's
    // changes: the text that goes back in has them.
    auto followPlace = [this](const ReplacedStretch& stretch) {
        // A key typed into the first screen is there already, the caret after it.
        if (m_typingIntoFirstScreen)
            return;
        keepFirstScreenPlace();
        if (!m_reloadNextTurn || !m_placeAfterLoad)
            return;
        m_placeAfterLoad->caret = stretch.map(m_placeAfterLoad->caret);
        if (m_placeAfterLoad->anchor >= 0)
            m_placeAfterLoad->anchor = stretch.map(m_placeAfterLoad->anchor);
        if (m_placeAfterLoad->top >= 0)
            m_placeAfterLoad->top = stretch.map(m_placeAfterLoad->top);
    };
    connect(&document, &Document::edited, this, [this, followPlace](const TextEdit& edit) {
        keepForProjection(edit);
        followPlace({ edit.position, edit.removedLength, edit.inserted.size(), {} });
    });
    connect(&document, &Document::replaced, this, [this, followPlace] {
        if (m_projecting)
            m_projecting->editsTaken = false;
        followPlace(m_document.lastReplacement());
    });
    // Edits of other views are applied where they land; a replaced text is reloaded.
    m_binding->start();
    // An open cell's text is handed over before the document is saved, asked about or closed.
    connect(&document, &Document::heldInputWanted, this, [this] { m_tableEditor->commit(); });

    m_styledDark = isDarkMode();
    m_styledFontSize = fontSize();
    m_shownDark = isDarkMode();
    m_find->setDarkMode(isDarkMode());
    loadFirstScreen();
}

UnifiedBlockEditor::~UnifiedBlockEditor()
{
    // The cell field must not commit into a document that is going away.
    m_tableEditor->teardown();
    m_view->onInputHandled = nullptr;
    disconnect(m_view->document(), nullptr, this, nullptr);
    if (m_projecting)
        *m_projecting->wanted = true;
    // The view and its document outlive the storage the formats are read from.
    m_view->blockLayout().setFormatSource({});
    m_styling->stop();
}

void UnifiedBlockEditor::setUpView()
{
    m_view = new MarkdownTextView(this);
    m_view->setObjectName(QStringLiteral("blockEditorTextView"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    applyPalette(*m_view, isDarkMode());
    m_view->setReadOnly(!m_document.isEditable());

    QTextDocument* document = m_view->document();
    document->setUndoRedoEnabled(false);
    document->setDocumentMargin(0);
    m_projected = std::make_unique<ProjectedDocument>(*document);
    m_projected->setEstimate(
        [this](qsizetype length) { return m_view->blockLayout().estimateLength(length); },
        [this](int lines) { return m_view->blockLayout().estimateTable(lines); });
    connect(&m_view->blockLayout(), &BlockDocumentLayout::frameChanged, this, [this] {
        // A load estimates its window's lines itself, with the frame it ends with: emptying the
        // document drops the column's margins for a moment.
        if (m_projected->holdsAll() || m_movingWindow || m_loadingText)
            return;
        m_projected->estimateAll();
        showWindowHeights();
    });
    document->documentLayout()->registerHandler(
        ProjectedDocument::kTableObjectType, m_tableRenderer);
    m_tableEditor = std::make_unique<TableEditingController>(*m_view, *m_projected,
        *m_tableRenderer,
        [this](qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement) {
            return applyTableAttachment(index, expected, std::move(replacement));
        });
    m_tableEditor->setAppearance(isDarkMode(), fontSize());
    m_caretLine = std::make_unique<CaretLineTracker>();
    // A paragraph's character formats are read from the storage's styling when it is laid out.
    m_view->blockLayout().setFormatSource([this](const QTextBlock& block, size_t* key) {
        m_presenter.setWindowStart(m_projected->windowStart());
        return m_presenter.formats(m_projected->storage(), block, key);
    });
    m_styling
        = std::make_unique<BackgroundStyling>(*m_projected, [this] { return highlightOptions(); });
    connect(m_styling.get(), &BackgroundStyling::styled, this, &UnifiedBlockEditor::presentStyled);
    connect(
        m_styling.get(), &BackgroundStyling::finished, this, &UnifiedBlockEditor::presentAfterPass);
    m_view->viewport()->installEventFilter(this);
    m_view->installEventFilter(this);

    m_view->onEditingKey
        = [this](MarkdownTextView::EditingKey key) { return handleEditingKey(key); };
    m_view->onToggleInlineStyle
        = [this](MarkdownLineEditing::InlineStyle style) { toggleInlineStyle(style); };
    m_view->onClickTable
        = [this](const QPoint& point) { return m_tableEditor->handleClick(point); };
    m_view->onClickOutsideTable = [this] { m_tableEditor->commit(); };
    m_view->onUndo = [this] { undo(); };
    m_view->onRedo = [this] { redo(); };
    m_view->canUndo = [this] { return canUndo(); };
    m_view->canRedo = [this] { return canRedo(); };
    m_view->onInputHandled = [this] {
        m_typingIntoFirstScreen = false;
        if (!m_isProgrammatic)
            noteCaretLine(-1);
        flushPendingWork();
    };
    m_view->markdownForRange = [this](int from, int to) { return m_projected->markdown(from, to); };
    m_view->paintUnderText
        = [this](QPainter& painter, const QRectF& rect) { paintDecorations(painter, rect); };
    connect(document, &QTextDocument::contentsChange, this, &UnifiedBlockEditor::onContentsChange);
    // The window follows the view on the next turn: not inside the change or key that scrolled.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_projected->holdsAll() || m_movingWindow || m_scrollQueued)
            return;
        m_scrollQueued = true;
        QMetaObject::invokeMethod(
            this, [this] { followScroll(); }, Qt::QueuedConnection);
    });
    connect(m_view, &QTextEdit::cursorPositionChanged, this,
        &UnifiedBlockEditor::onCursorPositionChanged);
}

void UnifiedBlockEditor::applyPalette(MarkdownTextView& view, bool dark)
{
    QPalette palette = view.palette();
    const QColor text = MarkdownHighlighter::palette(dark).textColor;
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, dark ? QColor::fromRgbF(0.11, 0.11, 0.12) : QColor(Qt::white));
    view.setPalette(palette);
    view.setStyleSheet(QString());
}

void UnifiedBlockEditor::showAppearance()
{
    if (isDarkMode() != std::exchange(m_shownDark, isDarkMode())) {
        applyPalette(*m_view, isDarkMode());
        m_find->setDarkMode(isDarkMode());
    }
    m_tableEditor->setAppearance(isDarkMode(), fontSize());
    restyleForAppearance();
}

void UnifiedBlockEditor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_binding->shown();
}

void UnifiedBlockEditor::setContentWidth(qreal width)
{
    m_contentWidth = width;
    centerTextColumn();
}

qsizetype UnifiedBlockEditor::caretMarkdownOffset() const
{
    if (m_placeAfterLoad)
        return m_placeAfterLoad->caret;
    return m_projected->markdownOffset(toStorage(m_view->textCursor().position()));
}

bool UnifiedBlockEditor::canUndo() const
{
    return m_binding->canUndo();
}

bool UnifiedBlockEditor::canRedo() const
{
    return m_binding->canRedo();
}

void UnifiedBlockEditor::setFindActive(bool active)
{
    if (m_ownFind)
        m_ownFind->setActive(active);
    m_find->setActive(active);
}

FindPane UnifiedBlockEditor::findPane()
{
    FindPane pane;
    // Find reaches the whole text: what is not in the view yet is put in first. A window of a
    // long text stays one: the matches outside it are found in the storage's Markdown.
    pane.showsDocument = [this] {
        finishLoading();
        return !m_binding->hasPending() && !storageLags() && m_tableLineBreaks.isEmpty()
            && m_projected->markdownOffset(m_projected->storage().length())
            == m_document.text().size();
    };
    // A match in a table is shown on the table's character; one outside the window at its edge.
    pane.toView = [this](const TextRange& match) {
        const auto [start, end] = storageRange(match);
        const int from = toView(start);
        return TextRange { from, qMax(0, toView(end) - from) };
    };
    pane.toMarkdown
        = [this](int position) { return m_projected->markdownOffset(toStorage(position)); };
    pane.reveal = [this](const TextRange& range) {
        if (m_projected->holdsAll()) {
            EditorFindController::scrollIntoView(*m_view, range);
            return;
        }
        // The match may lie outside the window, which the range in the view cannot tell.
        const DocumentFind& model = m_find->model();
        const int index = model.revealedIndex();
        if (index < 0 || index >= model.matches().size())
            return;
        const auto [start, end] = storageRange(model.matches().at(index));
        coverRange(start, end);
        const int from = toView(start);
        EditorFindController::scrollIntoView(*m_view, { from, qMax(0, toView(end) - from) });
    };
    return pane;
}

std::pair<qsizetype, qsizetype> UnifiedBlockEditor::storageRange(const TextRange& match) const
{
    const qsizetype start = m_projected->storageOffset(match.location);
    qsizetype end = m_projected->storageOffset(match.end());
    if (m_projected->markdownOffset(end) < match.end())
        end = qMin(m_projected->storage().length(), end + 1);
    return { start, qMax(start, end) };
}

namespace {

// A text up to this long (UTF-16 units) goes into the view's document at once; a longer one its
// first part at once and the rest in parts of the same size, each a few ten milliseconds of
// QTextDocument's work at most.
constexpr qsizetype kLoadPart = 128 * 1024;

} // namespace

bool UnifiedBlockEditor::isLoading() const
{
    return m_reloadNextTurn || !m_projected->isDocumentComplete();
}

void UnifiedBlockEditor::reloadKeepingPlace(PlaceAfterLoad place)
{
    // A long text goes in part by part, as when it is opened, and the old one is taken out on a
    // turn of its own: either at once would stop the window about as long as the other.
    if (m_document.text().size() > kLoadPart && !m_reloadNextTurn) {
        FlagScope programmatic(m_isProgrammatic);
        m_view->setTextCursor(QTextCursor());
        m_styling->setHeld(true);
        m_projected->load(QString(), isDarkMode(), fontSize());
        m_view->document()->setDefaultFont(MarkdownHighlighter::systemFont(fontSize()));
        m_styledDark = isDarkMode();
        m_styledFontSize = fontSize();
        m_reloadNextTurn = true;
        m_placeAfterLoad = place;
        m_view->viewport()->setUpdatesEnabled(false);
        // The text is projected again with the new appearance (its tables set up, its lines
        // found) on another thread meanwhile.
        startProjecting();
        // Not on the very next turn: what reached the window meanwhile (a window manager's
        // ping) is answered first, which a shorter wait did not leave time for.
        QTimer::singleShot(15, this, [this] { reloadWhenProjected(); });
        return;
    }
    m_reloadNextTurn = false;
    reload(m_document.text(), 0, true);
    m_placeAfterLoad = place;
    if (!restorePlaceAfterLoad())
        m_view->viewport()->setUpdatesEnabled(false);
}

void UnifiedBlockEditor::reloadWhenProjected()
{
    if (m_reloadNextTurn && m_projecting && !m_projecting->projection.isFinished()) {
        QTimer::singleShot(5, this, [this] { reloadWhenProjected(); });
        return;
    }
    reloadTakenOut();
}

void UnifiedBlockEditor::reloadTakenOut()
{
    keepFirstScreenPlace();
    if (!m_reloadNextTurn || !m_placeAfterLoad)
        return;
    if (m_placeAfterLoad->firstScreen)
        loadWholeAtFirstScreenPlace();
    else
        reloadKeepingPlace(*m_placeAfterLoad);
}

void UnifiedBlockEditor::loadWholeAtFirstScreenPlace()
{
    const PlaceAfterLoad place = *m_placeAfterLoad;
    // The window goes around the paragraph at the top, which stays there.
    m_loadAround = place.top;
    reload(m_document.text(), place.caret);
    const qsizetype length = m_projected->storage().length();
    if (place.anchor >= 0 && place.anchor != place.caret) {
        restoreSelection(qMin(m_projected->storageOffset(place.anchor), length),
            qMin(m_projected->storageOffset(place.caret), length));
    }
    if (place.top < 0)
        return;
    FlagScope moving(m_movingWindow);
    m_view->blockLayout().reportNow();
    const qsizetype top = qMin(m_projected->storageOffset(place.top), length);
    scrollToLineTop(m_projected->holdsAll() ? m_view->document()->findBlock(int(top)).blockNumber()
                                            : m_projected->window().lineAt(top),
        place.topOffset);
}

void UnifiedBlockEditor::loadFirstScreen()
{
    const ChunkedText& text = m_document.text();
    const qsizetype end = TextWindow::firstScreenEnd(text, TextWindow::Pane::Block, true);
    if (end < 0) {
        reload(text, 0, true);
        return;
    }
    const QString first = text.mid(0, end);
    reload(ChunkedText(first), 0);
    // The scroll bar stands about where it will: the rest is given the height of as many lines
    // as long as the first screen's.
    const qsizetype lines = qMax<qsizetype>(1, first.count(u'\n'));
    const qsizetype restLines = (text.size() - end) * lines / end;
    m_view->blockLayout().setOutsideHeights(
        0, double(restLines) * m_view->blockLayout().estimateLength(end / lines));
    m_reloadNextTurn = true;
    m_firstScreenOnly = true;
    startProjecting();
    // Waiting for the projection would stop the window: input that comes first waits for it.
    m_afterFirstPaint = std::make_unique<AfterFirstPaint>(
        *m_view->viewport(), 250,
        [this] { return !m_projecting || m_projecting->projection.isFinished(); },
        [this] {
            if (m_firstScreenOnly)
                finishLoading();
        });
}

void UnifiedBlockEditor::startProjecting()
{
    auto wanted = std::make_shared<std::atomic_bool>(false);
    m_projecting = Projecting { QtConcurrent::run([text = m_document.text(), dark = isDarkMode(),
                                                      size = fontSize(), wanted] {
                                   waitWhileHeld(*wanted);
                                   return ProjectedDocument::project(
                                       text.toString(AttributedText::roomToGrow(text.size())), dark,
                                       size, true);
                               }),
        wanted, m_document.version(), isDarkMode(), fontSize(), {}, true };
}

std::optional<UnifiedBlockEditor::TakenProjection> UnifiedBlockEditor::takeProjection(
    const ChunkedText& markdown)
{
    // Taken or not, it is of no more use: a later text is projected anew.
    std::optional<Projecting> projecting = std::exchange(m_projecting, std::nullopt);
    if (!projecting)
        return std::nullopt;
    *projecting->wanted = true;
    // Each edit of the document counts one version: the text is the projected one with the
    // edits kept, none when the version is the same.
    if (&markdown != &m_document.text() || !projecting->editsTaken
        || projecting->version + quint64(projecting->edits.size()) != m_document.version()
        || projecting->isDarkMode != isDarkMode() || projecting->fontSize != fontSize())
        return std::nullopt;
    return TakenProjection { projecting->projection.takeResult(), std::move(projecting->edits) };
}

void UnifiedBlockEditor::keepForProjection(const TextEdit& edit)
{
    if (!m_projecting || !m_projecting->editsTaken)
        return;
    if (edit.removed.size() == edit.removedLength
        && StructureAroundEdit::leavesTablesAlone(
            m_document.text(), edit.position, edit.removed, edit.inserted)) {
        m_projecting->edits.append(edit);
        return;
    }
    m_projecting->editsTaken = false;
    m_projecting->edits.clear();
}

bool UnifiedBlockEditor::typesIntoFirstScreen(const QKeyEvent& key) const
{
    if (!m_firstScreenOnly || !m_projecting || !m_projecting->editsTaken
        || m_projecting->projection.isFinished() || m_binding->hasPending() || m_view->isReadOnly()
        || m_tableEditor->field()
        || (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const int k = key.key();
    const QString typed = key.text();
    // Shift+Return breaks the line inside its paragraph, with a break the whole text would have
    // to be read again for.
    const bool lineBreak = (k == Qt::Key_Return || k == Qt::Key_Enter)
        && !key.modifiers().testFlag(Qt::ShiftModifier);
    const bool edits = lineBreak || k == Qt::Key_Backspace || k == Qt::Key_Delete
        || (typesTextOnly(key) && std::none_of(typed.begin(), typed.end(), [](QChar c) {
               return c == u'|' || c == u'`' || c == u'~'
                   || c == ProjectedDocument::kCarriageReturnStandIn;
           }));
    if (!edits)
        return false;
    // The caret's lines and one on either side, all before the first screen's last line: a key
    // there changes nothing the rest of the text decides.
    const auto [anchor, caret] = storageSelection();
    const QString& text = m_projected->storage().text();
    const qsizetype start = qMin(anchor, caret);
    const qsizetype lineStart = start > 0 ? text.lastIndexOf(u'\n', start - 1) : -1;
    const qsizetype from = lineStart > 0 ? text.lastIndexOf(u'\n', lineStart - 1) + 1 : 0;
    const qsizetype lineEnd = text.indexOf(u'\n', qMax(anchor, caret));
    const qsizetype to = lineEnd < 0 ? -1 : text.indexOf(u'\n', lineEnd + 1);
    if (to < 0)
        return false;
    return StructureAroundEdit::holdNoTableOrFence(QStringView(text).mid(from, to - from));
}

void UnifiedBlockEditor::loadNextPart()
{
    if (m_reloadNextTurn || m_projected->isDocumentComplete())
        return;
    {
        FlagScope programmatic(m_isProgrammatic);
        m_projected->insertMore(kLoadPart);
    }
    restorePlaceAfterLoad();
    if (isLoading()) {
        QMetaObject::invokeMethod(
            this, [this] { loadNextPart(); }, Qt::QueuedConnection);
        return;
    }
    loaded();
}

void UnifiedBlockEditor::finishLoading()
{
    if (m_typingIntoFirstScreen)
        return;
    reloadTakenOut();
    if (!isLoading())
        return;
    {
        FlagScope programmatic(m_isProgrammatic);
        m_projected->insertMore(-1);
    }
    loaded();
}

void UnifiedBlockEditor::loaded()
{
    // What waited for the whole text goes on.
    m_styling->setHeld(false);
    restorePlaceAfterLoad();
    m_restyles->textLoaded();
    m_find->refresh();
}

void UnifiedBlockEditor::reload(const ChunkedText& markdown, qsizetype markdownCaret, bool inParts)
{
    FlagScope programmatic(m_isProgrammatic);
    m_reloadNextTurn = false;
    m_firstScreenOnly = false;
    // A place kept from an earlier reload is of a text no longer shown.
    if (std::exchange(m_placeAfterLoad, std::nullopt))
        m_view->viewport()->setUpdatesEnabled(true);
    QTextDocument* document = m_view->document();
    const QFont font = MarkdownHighlighter::systemFont(fontSize());
    // A font set lays out every paragraph again, even the same font: the text about to be
    // replaced goes first.
    if (document->defaultFont() != font) {
        document->setPlainText(QString());
        document->setDefaultFont(font);
    }
    m_styledDark = isDarkMode();
    m_styledFontSize = fontSize();
    // The view's caret would ride to the end of the inserted text, and placing it again would
    // then measure the old caret's place: the whole document laid out at once. A null caret is
    // left where it is and never measured.
    m_view->setTextCursor(QTextCursor());
    // In parts only with the caret at the top: it stays before the text put in later.
    const bool parts = inParts && markdownCaret == 0 && markdown.size() > kLoadPart;
    m_detached.reset();
    const qsizetype around = m_loadAround >= 0 ? std::exchange(m_loadAround, -1) : markdownCaret;
    if (std::optional<TakenProjection> taken = takeProjection(markdown)) {
        FlagScope loading(m_loadingText);
        const bool edited = !taken->edits.isEmpty();
        m_projected->loadInParts(
            std::move(taken->projection), parts && !edited ? kLoadPart : -1, around);
        // What was typed meanwhile, each edit away from every table and fence.
        for (const TextEdit& edit : std::as_const(taken->edits))
            m_projected->replace(
                { m_projected->storageOffset(edit.position), edit.removedLength }, edit.inserted);
    } else {
        FlagScope loading(m_loadingText);
        // The view's copy gets room to grow: its first edit would otherwise move all of it.
        m_projected->loadInParts(markdown.toString(AttributedText::roomToGrow(markdown.size())),
            isDarkMode(), fontSize(), parts ? kLoadPart : -1, around);
    }
    showWindowHeights();
    // A window goes in at once.
    const bool goesInParts = !m_projected->isDocumentComplete();
    // The styling pass reads the view's document for its place: it waits for the whole text.
    m_styling->setHeld(goesInParts);
    if (goesInParts) {
        QMetaObject::invokeMethod(
            this, [this] { loadNextPart(); }, Qt::QueuedConnection);
    }
    QTextCursor cursor(document);
    cursor.setPosition(
        toView(qMin(m_projected->storageOffset(markdownCaret), m_projected->storage().length())));
    m_view->setTextCursor(cursor);
    m_caretStorage = toStorage(cursor.position());
    // No line holds the caret for the reveal yet: the first click, wherever it lands, reveals.
    m_caretLine->reset();
    m_reloadPending = false;
    m_tablesToShowAgain.reset();
    m_tableLineBreaks.clear();
    // The text loaded is the document's: nothing of other views is left to follow.
    m_binding->caughtUp();
    m_restylePending = true;
    markAllParagraphsDirty();
    centerTextColumn();
    restyle();
}

void UnifiedBlockEditor::schedulePendingWork()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { flushPendingWork(); }, Qt::QueuedConnection);
}

void UnifiedBlockEditor::flushPendingWork()
{
    m_flushQueued = false;
    // Only other views' edits need the whole text in the view at once: a restyle or a
    // presentation waiting leaves a text going in part by part to its parts.
    if (m_binding->hasPending())
        m_binding->follow();
    // The text taken out is restyled whole when it goes back in.
    if (m_reloadNextTurn)
        return;
    if (m_reloadPending) {
        showWholeTextAtCaret();
    } else if (m_tablesToShowAgain && !caretInsideTableAround(*m_tablesToShowAgain)) {
        showTablesAgain();
    } else if (m_restylePending)
        restyle();
    if (m_presentPending)
        presentDeferred();
}

void UnifiedBlockEditor::showWholeTextAtCaret()
{
    reload(m_document.text(), withTableLineBreaks(caretMarkdownOffset()));
    // The edit that asked for it was made at the caret: it stays in view.
    showCaretMeasured();
}

void UnifiedBlockEditor::scrollToLine(int line)
{
    finishLoading();
    // Lines are counted in the Markdown text with the same line breaks as project search.
    const std::optional<TextRange> range
        = MarkdownTextViewSupport::storageLineRange(m_projected->storage(), line);
    if (!range)
        return;
    coverRange(range->location, range->end());
    QTextCursor cursor(m_view->document());
    cursor.setPosition(toView(range->location));
    cursor.setPosition(toView(range->end()), QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
    flushPendingWork();
    presentAround(cursor.blockNumber());
    m_view->ensureCursorVisible();
    // The window settles around the screen now, not on the next turn after the line was shown:
    // what it measures anew there would move the line off the screen.
    followScroll();
    m_view->ensureCursorVisible();
    m_view->showFindIndicator(toView(range->location), toView(range->end()),
        MarkdownTextViewSupport::searchColors(isDarkMode()).activeBackground);
}

bool UnifiedBlockEditor::eventFilter(QObject* watched, QEvent* event)
{
    // Scrolling past the first screen finds the whole text there (input that may edit the text
    // finds it through the binding).
    if (m_firstScreenOnly && watched == m_view->viewport() && event->type() == QEvent::Wheel)
        finishLoading();
    const bool key = watched == m_view
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride);
    const bool typing = key && typesIntoFirstScreen(static_cast<QKeyEvent&>(*event));
    if ((watched == m_view || watched == m_view->viewport()) && mayEditText(*event)) {
        // Until the view has handled the key, nothing puts the whole text in; should the key
        // never reach it, the next input or turn ends that.
        m_typingIntoFirstScreen = typing && event->type() == QEvent::KeyPress;
        if (m_typingIntoFirstScreen)
            QTimer::singleShot(0, this, [this] { m_typingIntoFirstScreen = false; });
    }
    if (!typing && (watched == m_view || watched == m_view->viewport()))
        m_binding->beforeInput(*event);
    // A key typed into a table's cell reaches the view too, and is the cell's: the window stays.
    if (watched == m_view && event->type() == QEvent::KeyPress && !m_tableEditor->field()
        && windowKey(static_cast<QKeyEvent&>(*event)))
        return true;
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress)
        m_detached.reset();
    if (watched == m_view->viewport() && event->type() == QEvent::Paint) {
        m_restyles->painted();
        m_styling->resume();
    }
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        centerTextColumn();
    // Markers show only while the view has the focus, which may arrive after the click that
    // placed the caret (the window is activated later).
    if (watched == m_view && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        && m_view->hasFocus() != m_revealFocused && m_revealCaret >= 0
        && markCaretParagraphDirty(m_view->textCursor().blockNumber())) {
        m_restylePending = true;
        schedulePendingWork();
    }
    return QWidget::eventFilter(watched, event);
}

void UnifiedBlockEditor::centerTextColumn()
{
    const qreal width = m_view->viewport()->width();
    if (width <= 0)
        return;
    const qreal inset = m_contentWidth + 80 < width ? (width - m_contentWidth) / 2 : 40;
    QTextFrame* root = m_view->document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    if (format.leftMargin() == inset && format.rightMargin() == inset && format.topMargin() == 40
        && format.bottomMargin() == 40)
        return;
    // The open cell's field would stand beside its cell. Its commit is the user's edit: made
    // inside the programmatic change below, it would show in the view but never reach the
    // document.
    m_tableEditor->commit();
    FlagScope programmatic(m_isProgrammatic);
    format.setLeftMargin(inset);
    format.setRightMargin(inset);
    format.setTopMargin(40);
    format.setBottomMargin(40);
    root->setFrameFormat(format);
}

void UnifiedBlockEditor::paintDecorations(QPainter& painter, const QRectF& documentRect)
{
    const QTextFrameFormat frame = m_view->document()->rootFrame()->frameFormat();
    DecorationPainter::Options options;
    options.isDarkMode = isDarkMode();
    options.fontSize = fontSize();
    options.columnLeft = frame.leftMargin();
    options.columnWidth = m_view->viewport()->width() - frame.leftMargin() - frame.rightMargin();
    DecorationPainter::paint(painter, *m_view->document(), documentRect, options);
}

} // namespace quillon
