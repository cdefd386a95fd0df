#include "editor/UnifiedBlockEditor.h"

#include "editor/BlockStylePresenter.h"
#include "editor/CaretLineTracker.h"
#include "editor/DecorationPainter.h"
#include "editor/EditorFindController.h"
#include "editor/FlagScope.h"
#include "editor/LineEditingKeys.h"
#include "editor/LineRestyler.h"
#include "editor/TableAttachmentCell.h"
#include "editor/TableEditingController.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTableProjection.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>
#include <climits>

namespace quillon {

namespace {

// The text in view: the block at the top of the viewport and how far its top lies above it.
struct TopOfView
{
    int block = -1;
    qreal offset = 0;
};

TopOfView topOfView(const QTextEdit& view)
{
    const QTextBlock block = view.cursorForPosition(QPoint(0, 0)).block();
    if (!block.isValid())
        return {};
    const qreal top = view.document()->documentLayout()->blockBoundingRect(block).top();
    return { block.blockNumber(), view.verticalScrollBar()->value() - top };
}

// Restyled blocks change their heights; the text that was in view is brought back into it.
void keepTopOfView(QTextEdit& view, const TopOfView& anchor)
{
    const QTextBlock block = view.document()->findBlockByNumber(anchor.block);
    if (!block.isValid())
        return;
    const qreal top = view.document()->documentLayout()->blockBoundingRect(block).top();
    view.verticalScrollBar()->setValue(qRound(top + anchor.offset));
}

} // namespace

UnifiedBlockEditor::UnifiedBlockEditor(
    Document& document, WorkspaceState& workspace, bool isDarkMode, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_workspace(workspace)
    , m_isDarkMode(isDarkMode)
    , m_fontSize(workspace.editorFontSize())
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tableRenderer = new TableAttachmentCell(this);
    m_fullCompareTimer.setSingleShot(true);
    m_fullCompareTimer.setInterval(600);
    connect(&m_fullCompareTimer, &QTimer::timeout, this, &UnifiedBlockEditor::refreshEverything);
    m_backgroundTimer.setSingleShot(true);
    m_backgroundTimer.setInterval(0);
    connect(&m_backgroundTimer, &QTimer::timeout, this, &UnifiedBlockEditor::backgroundStep);
    setUpView();
    layout->addWidget(m_view);
    m_find = std::make_unique<EditorFindController>(
        *m_view, workspace, [this]() -> const QString& { return m_projected->storage().text(); });

    // Edits of other views are applied where they land; a replaced text is reloaded.
    connect(&document, &Document::edited, this, &UnifiedBlockEditor::onDocumentEdited);
    connect(&document, &Document::replaced, this, &UnifiedBlockEditor::onDocumentReplaced);
    // An open cell's text is handed over before the document is saved, asked about or closed.
    connect(&document, &Document::heldInputWanted, this, [this] { m_tableEditor->commit(); });
    // A document that could not be read is shown, never edited: an edit would be written over
    // the file.
    connect(&document, &Document::readErrorChanged, this,
        [this] { m_view->setReadOnly(!m_document.isReadable()); });
    connect(&workspace, &WorkspaceState::editorFontSizeChanged, this,
        [this] { setFontSize(m_workspace.editorFontSize()); });

    m_styledDark = m_isDarkMode;
    m_styledFontSize = m_fontSize;
    setDarkMode(m_isDarkMode);
    reload(document.text().toString(), 0);
}

UnifiedBlockEditor::~UnifiedBlockEditor()
{
    // The cell field must not commit into a document that is going away.
    m_tableEditor->teardown();
    m_view->onInputHandled = nullptr;
    disconnect(m_view->document(), nullptr, this, nullptr);
}

void UnifiedBlockEditor::setUpView()
{
    m_view = new MarkdownTextView(this);
    m_view->setObjectName(QStringLiteral("blockEditorTextView"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    applyPalette(*m_view, m_isDarkMode);
    m_view->setReadOnly(!m_document.isReadable());

    QTextDocument* document = m_view->document();
    document->setUndoRedoEnabled(false);
    document->setDocumentMargin(0);
    m_projected = std::make_unique<ProjectedDocument>(*document);
    document->documentLayout()->registerHandler(
        ProjectedDocument::kTableObjectType, m_tableRenderer);
    m_tableEditor = std::make_unique<TableEditingController>(*m_view, *m_projected,
        *m_tableRenderer,
        [this](qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement) {
            return applyTableAttachment(index, expected, std::move(replacement));
        });
    m_tableEditor->setAppearance(m_isDarkMode, m_fontSize);
    m_caretLine = std::make_unique<CaretLineTracker>();
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
    m_view->onInputHandled = [this] {
        if (!m_isProgrammatic)
            noteCaretLine(-1);
        flushPendingWork();
    };
    m_view->markdownForRange
        = [this](int from, int to) { return m_projected->markdown(from, to); };
    m_view->paintUnderText
        = [this](QPainter& painter, const QRectF& rect) { paintDecorations(painter, rect); };
    connect(document, &QTextDocument::contentsChange, this, &UnifiedBlockEditor::onContentsChange);
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

void UnifiedBlockEditor::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    applyPalette(*m_view, dark);
    m_find->setDarkMode(dark);
    m_tableEditor->setAppearance(m_isDarkMode, m_fontSize);
    restyleForAppearance();
}

void UnifiedBlockEditor::setFontSize(qreal size)
{
    m_fontSize = size;
    m_tableEditor->setAppearance(m_isDarkMode, m_fontSize);
    restyleForAppearance();
}

void UnifiedBlockEditor::restyleForAppearance()
{
    // The same appearance again must not close an open cell.
    if (m_styledDark == m_isDarkMode && m_styledFontSize == m_fontSize)
        return;
    m_presenter.clearCache();
    m_tableEditor->commit();
    flushPendingWork();
    const TopOfView anchor = topOfView(*m_view);
    reload(m_document.text().toString(), caretMarkdownOffset());
    if (anchor.block < 0)
        return;
    // The same text is shown again: the part that was in view is styled first and stays there.
    FlagScope programmatic(m_isProgrammatic);
    keepTopOfView(*m_view, anchor);
    BlockStylePresenter::Window window;
    window.firstBlock = qMax(0, anchor.block - kVisibleMargin);
    window.lastBlock = anchor.block + kVisibleMargin;
    m_presenter.present(m_projected->storage(), *m_view->document(), m_fontSize, window);
    keepTopOfView(*m_view, anchor);
}

void UnifiedBlockEditor::setContentWidth(qreal width)
{
    m_contentWidth = width;
    centerTextColumn();
}

qsizetype UnifiedBlockEditor::caretMarkdownOffset() const
{
    return m_projected->markdownOffset(m_view->textCursor().position());
}

bool UnifiedBlockEditor::canUndo() const
{
    return m_document.canUndo() && !m_view->isReadOnly();
}

bool UnifiedBlockEditor::canRedo() const
{
    return m_document.canRedo() && !m_view->isReadOnly();
}

void UnifiedBlockEditor::setFindActive(bool active)
{
    m_find->setActive(active);
}

void UnifiedBlockEditor::reload(const QString& markdown, qsizetype markdownCaret)
{
    FlagScope programmatic(m_isProgrammatic);
    QTextDocument* document = m_view->document();
    document->setDefaultFont(MarkdownHighlighter::systemFont(m_fontSize));
    m_styledDark = m_isDarkMode;
    m_styledFontSize = m_fontSize;
    // The view's caret would ride to the end of the inserted text, and placing it again would
    // then measure the old caret's place: the whole document laid out at once. A null caret is
    // left where it is and never measured.
    m_view->setTextCursor(QTextCursor());
    m_projected->load(markdown, m_isDarkMode, m_fontSize);
    m_find->textReplaced();
    QTextCursor cursor(document);
    cursor.setPosition(
        int(qMin(m_projected->storageOffset(markdownCaret), m_projected->storage().length())));
    m_view->setTextCursor(cursor);
    m_caretStorage = cursor.position();
    // No line holds the caret for the reveal yet: the first click, wherever it lands, reveals.
    m_caretLine->reset();
    m_reloadPending = false;
    m_tableLineBreaks.clear();
    // The text loaded is the document's: nothing of other views is left to follow.
    m_hasPendingEdits = false;
    m_pendingReload = false;
    m_restylePending = true;
    markAllParagraphsDirty();
    centerTextColumn();
    restyle();
}

HighlightOptions UnifiedBlockEditor::highlightOptions() const
{
    HighlightOptions options;
    options.isDarkMode = m_isDarkMode;
    options.fontSize = m_fontSize;
    options.isReadingMode = true;
    options.isFocused = m_revealFocused;
    options.cursorLocation = m_revealCaret;
    return options;
}

void UnifiedBlockEditor::restyle(bool insideDocumentChange)
{
    m_restylePending = false;
    FlagScope programmatic(m_isProgrammatic);
    m_revealCaret = m_view->textCursor().position();
    m_revealFocused = m_view->hasFocus();
    const HighlightOptions options = highlightOptions();
    // Lines whose styling depends on themselves alone are styled alone; anything else, and an
    // idle moment after local styling, restyles the whole document.
    QList<TextSpan> local;
    bool whole = m_fullHighlight || m_localBlocks.isEmpty();
    // Overlapping stretches are styled as one: a line styled alone inside a wider stretch
    // would lose what the stretch gave it.
    std::sort(m_localBlocks.begin(), m_localBlocks.end());
    QList<QPair<int, int>> merged;
    for (const auto& span : std::as_const(m_localBlocks)) {
        if (!merged.isEmpty() && span.first <= merged.last().second + 1)
            merged.last().second = qMax(merged.last().second, span.second);
        else
            merged.append(span);
    }
    for (const auto& [first, last] : std::as_const(merged)) {
        if (whole)
            break;
        const auto range
            = LineRestyler::isolatedRange(m_projected->storage(), *m_view->document(), first, last);
        if (range)
            local.append(*range);
        else
            whole = true;
    }
    // A paragraph or fenced block styled whole is presented whole.
    if (!whole && !m_dirtyAll) {
        for (const TextSpan& range : std::as_const(local)) {
            const QTextDocument* document = m_view->document();
            m_dirtyFirst = qMin(m_dirtyFirst < 0 ? INT_MAX : m_dirtyFirst,
                document->findBlock(int(range.location)).blockNumber());
            m_dirtyLast = qMax(m_dirtyLast,
                document->findBlock(int(qMax<qsizetype>(range.location, range.end() - 1)))
                    .blockNumber());
        }
    }
    if (whole) {
        restyleWholeStorage(options);
    } else {
        m_projected->styleStorage([&](AttributedText& storage) {
            for (const TextSpan& range : std::as_const(local))
                LineRestyler::highlight(storage, range, options);
        });
    }
    m_fullHighlight = false;
    m_localBlocks.clear();
    BlockStylePresenter::Window window;
    window.deferBlockFormats = insideDocumentChange;
    if (!m_dirtyAll) {
        window.firstBlock = qMax(0, m_dirtyFirst);
        window.lastBlock = qMax(window.firstBlock, m_dirtyLast);
        m_fullCompareTimer.start();
    } else if (m_view->document()->blockCount() > kBackgroundChunk) {
        // What the user sees now; the rest follows in the background.
        const int caret = m_view->textCursor().blockNumber();
        const int top = m_view->cursorForPosition(QPoint(0, 0)).blockNumber();
        window.firstBlock = qMax(0, qMin(caret, top) - kVisibleMargin);
        window.lastBlock = qMax(caret, top) + kVisibleMargin;
        startBackgroundPass(true);
    }
    const int restyled
        = m_presenter.present(m_projected->storage(), *m_view->document(), m_fontSize, window);
    m_dirtyAll = false;
    m_dirtyFirst = m_dirtyLast = -1;
    if (m_presenter.hasDeferredBlockFormats()) {
        // The same paragraphs again, once the document has finished its change.
        m_deferredWindow = window;
        m_deferredWindow.deferBlockFormats = false;
        m_presentPending = true;
        schedulePendingWork();
    }
    // The presenter marks what it restyled for layout, which repaints just those lines.
    m_find->refresh();
    Q_EMIT presented(restyled);
}

void UnifiedBlockEditor::restyleWholeStorage(const HighlightOptions& options)
{
    m_projected->styleStorage([&](AttributedText& storage) {
        MarkdownTextViewSupport::reHighlight(storage, options.isDarkMode, options.fontSize,
            options.isReadingMode, false, options.cursorLocation, options.isFocused);
    });
}

void UnifiedBlockEditor::presentDeferred()
{
    m_presentPending = false;
    FlagScope programmatic(m_isProgrammatic);
    m_presenter.present(m_projected->storage(), *m_view->document(), m_fontSize, m_deferredWindow);
}

void UnifiedBlockEditor::refreshEverything()
{
    if (m_reloadPending || m_restylePending) {
        m_fullCompareTimer.start();
        return;
    }
    FlagScope programmatic(m_isProgrammatic);
    restyleWholeStorage(highlightOptions());
    startBackgroundPass(false);
}

void UnifiedBlockEditor::startBackgroundPass(bool afterPaint)
{
    m_backgroundBlock = 0;
    // What is in view reaches the screen before the rest is styled.
    m_backgroundAwaitsPaint = afterPaint && m_view->isVisible();
    m_backgroundTimer.start(m_backgroundAwaitsPaint ? kPaintWaitMs : 0);
}

void UnifiedBlockEditor::backgroundStep()
{
    m_backgroundAwaitsPaint = false;
    if (m_backgroundBlock < 0)
        return;
    if (m_reloadPending || m_restylePending || m_presentPending) {
        m_backgroundTimer.start(0); // after the pending work
        return;
    }
    FlagScope programmatic(m_isProgrammatic);
    BlockStylePresenter::Window window;
    window.firstBlock = m_backgroundBlock;
    window.lastBlock = m_backgroundBlock + kBackgroundChunk - 1;
    const TopOfView anchor = topOfView(*m_view);
    m_presenter.present(m_projected->storage(), *m_view->document(), m_fontSize, window);
    keepTopOfView(*m_view, anchor);
    m_backgroundBlock = window.lastBlock + 1;
    if (m_backgroundBlock < m_view->document()->blockCount())
        m_backgroundTimer.start(0);
    else
        m_backgroundBlock = -1;
}

void UnifiedBlockEditor::markParagraphsDirty(int firstBlock, int lastBlock)
{
    m_localBlocks.append({ firstBlock, lastBlock });
    firstBlock = qMax(0, firstBlock - 1);
    lastBlock = lastBlock + 1;
    m_dirtyFirst = m_dirtyFirst < 0 ? firstBlock : qMin(m_dirtyFirst, firstBlock);
    m_dirtyLast = qMax(m_dirtyLast, lastBlock);
}

bool UnifiedBlockEditor::markCaretParagraphDirty(int blockNumber)
{
    // Markers that span lines (links, underscores) may reveal text of the neighbouring lines
    // of the paragraph.
    QTextBlock first = m_view->document()->findBlockByNumber(blockNumber);
    // An empty line, and a table (a paragraph of one character), hide no markers: a caret on
    // them reveals nothing. (Neither can be styled apart from the whole text.)
    if (!first.isValid() || first.text().isEmpty()
        || first.text() == QChar(QChar::ObjectReplacementCharacter))
        return false;
    QTextBlock last = first;
    auto spansLines = [](const QString& text) {
        for (QChar c : text)
            if (c == u'_' || c == u'[' || c == u']' || c == u'(' || c == u')')
                return true;
        return false;
    };
    if (spansLines(first.text())) {
        while (first.previous().isValid() && !first.previous().text().trimmed().isEmpty())
            first = first.previous();
        while (last.next().isValid() && !last.next().text().trimmed().isEmpty())
            last = last.next();
    }
    markParagraphsDirty(first.blockNumber(), last.blockNumber());
    return true;
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
    if (m_hasPendingEdits || m_pendingReload)
        followPendingEdits();
    if (m_reloadPending)
        reload(m_document.text().toString(), withTableLineBreaks(caretMarkdownOffset()));
    else if (m_restylePending)
        restyle();
    if (m_presentPending)
        presentDeferred();
}

void UnifiedBlockEditor::scrollToLine(int line)
{
    // Lines are counted in the Markdown text with the same line breaks as project search.
    const std::optional<TextRange> range
        = MarkdownTextViewSupport::storageLineRange(m_projected->storage(), line);
    if (!range)
        return;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(range->location));
    cursor.setPosition(int(range->end()), QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
    flushPendingWork();
    {
        // Styled before it is measured, as the background pass may not have come this far.
        FlagScope programmatic(m_isProgrammatic);
        BlockStylePresenter::Window window;
        window.firstBlock = qMax(0, cursor.blockNumber() - kVisibleMargin);
        window.lastBlock = cursor.blockNumber() + kVisibleMargin;
        m_presenter.present(m_projected->storage(), *m_view->document(), m_fontSize, window);
    }
    m_view->ensureCursorVisible();
    m_view->showFindIndicator(int(range->location), int(range->end()),
        MarkdownTextViewSupport::searchColors(m_isDarkMode).activeBackground);
}

bool UnifiedBlockEditor::eventFilter(QObject* watched, QEvent* event)
{
    // The user edits the text as the document has it: what other views changed is shown first.
    if ((m_hasPendingEdits || m_pendingReload) && (watched == m_view || watched == m_view->viewport())) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::Drop:
        case QEvent::ContextMenu:
            followPendingEdits();
            break;
        default:
            break;
        }
    }
    if (watched == m_view->viewport() && event->type() == QEvent::Paint
        && m_backgroundAwaitsPaint) {
        m_backgroundAwaitsPaint = false;
        m_backgroundTimer.start(0); // runs once this paint is done
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
    options.isDarkMode = m_isDarkMode;
    options.fontSize = m_fontSize;
    options.columnLeft = frame.leftMargin();
    options.columnWidth = m_view->viewport()->width() - frame.leftMargin() - frame.rightMargin();
    DecorationPainter::paint(painter, *m_view->document(), documentRect, options);
}

} // namespace quillon
