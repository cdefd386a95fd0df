// The block editor's styling: the storage restyled whole or line by line, and presented to the
// view paragraph by paragraph, the part in view first.
#include "editor/block/UnifiedBlockEditor.h"

#include "editor/block/BackgroundStyling.h"
#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/BlockStylePresenter.h"
#include "editor/block/LineRestyler.h"
#include "editor/block/MarkdownTextView.h"
#include "editor/block/RestyleScheduler.h"
#include "editor/document/EditorFindController.h"
#include "editor/document/FlagScope.h"
#include "editor/layout/LazyLayoutKeeper.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/Document.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <tuple>
#include <utility>

namespace quillon {

namespace {

// The first and last paragraphs of `document` that hold characters of the storage's `span` (its
// paragraph for an empty span): the view's document holds the storage's text from `start` on.
// None (first after last) when the span lies outside what it holds.
std::pair<int, int> blocksOf(const QTextDocument& document, TextSpan span, qsizetype start = 0)
{
    const qsizetype held = document.characterCount() - 1;
    const qsizetype from = span.location - start;
    const qsizetype to = qMax<qsizetype>(span.location, span.end() - 1) - start;
    if (to < 0 || from > held)
        return { 1, 0 };
    return { document.findBlock(int(qMax<qsizetype>(0, from))).blockNumber(),
        document.findBlock(int(qMin(held, to))).blockNumber() };
}

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
void keepTopOfView(MarkdownTextView& view, const TopOfView& anchor)
{
    const QTextBlock block = view.document()->findBlockByNumber(anchor.block);
    if (!block.isValid())
        return;
    const qreal top = view.document()->documentLayout()->blockBoundingRect(block).top();
    const LazyLayoutKeeper::SteadyScroll steady(view.keeper());
    view.verticalScrollBar()->setValue(qRound(top + anchor.offset));
}

} // namespace

void UnifiedBlockEditor::restyleForAppearance()
{
    // The same appearance again must not close an open cell.
    if (m_styledDark == isDarkMode() && m_styledFontSize == fontSize())
        return;
    m_presenter.clearCache();
    m_tableEditor->commit();
    keepFirstScreenPlace();
    flushPendingWork();
    // Still going in after another change: the view shows the text's beginning, not its place.
    TopOfView anchor;
    if (m_placeAfterLoad) {
        anchor = { m_placeAfterLoad->topBlock, m_placeAfterLoad->topOffset };
    } else if (m_projected->holdsAll()) {
        anchor = topOfView(*m_view);
    } else {
        // Paragraphs of the storage: the window goes back around the one at the top, found
        // among the heights of the whole text (the view may stand outside what the window holds).
        const int scroll = m_view->verticalScrollBar()->value();
        const LineTop top = lineAtY(scroll);
        anchor = { top.line, scroll - top.y };
        m_loadAround = m_projected->markdownOffset(m_projected->window().lineStart(anchor.block));
    }
    const qsizetype caret = caretMarkdownOffset();
    reloadKeepingPlace({ caret, anchor.block, anchor.offset });
}

void UnifiedBlockEditor::keepFirstScreenPlace()
{
    if (!std::exchange(m_firstScreenOnly, false))
        return;
    // The first screen is the text's beginning held whole: its offsets and paragraphs are the
    // whole text's.
    const auto [anchor, caret] = storageSelection();
    const TopOfView top = topOfView(*m_view);
    const qsizetype topStart = top.block < 0
        ? -1
        : m_projected->markdownOffset(m_view->document()->findBlockByNumber(top.block).position());
    m_placeAfterLoad = PlaceAfterLoad { m_projected->markdownOffset(caret), top.block, top.offset,
        m_projected->markdownOffset(anchor), true, topStart };
}

bool UnifiedBlockEditor::restorePlaceAfterLoad()
{
    if (!m_placeAfterLoad)
        return true;
    const QTextDocument* document = m_view->document();
    const PlaceAfterLoad place = *m_placeAfterLoad;
    const qsizetype caret
        = qMin(m_projected->storageOffset(place.caret), m_projected->storage().length());
    const int topBlock = place.topBlock < 0 || m_projected->holdsAll()
        ? place.topBlock
        : qMax(0, place.topBlock - m_projected->window().firstLine());
    // The caret strictly before the end of what is in: the parts that follow go in after it.
    if (isLoading()
        && (document->blockCount() <= topBlock + kVisibleMargin
            || document->characterCount() - 1 <= caret))
        return false;
    m_placeAfterLoad.reset();
    // The text was styled with the caret at its top: the line it revealed there hides its
    // markers again, and the caret's own line reveals them.
    const int revealed = m_revealCaret >= 0 && m_projected->inWindow(m_revealCaret)
        ? document->findBlock(toView(m_revealCaret)).blockNumber()
        : -1;
    {
        FlagScope programmatic(m_isProgrammatic);
        const qsizetype anchor = place.anchor < 0
            ? caret
            : qMin(m_projected->storageOffset(place.anchor), m_projected->storage().length());
        restoreSelection(anchor, caret);
    }
    noteCaretLine(revealed);
    FlagScope programmatic(m_isProgrammatic);
    m_view->viewport()->setUpdatesEnabled(true);
    if (topBlock < 0)
        return true;
    // The same text is shown again: the part that was in view is styled first and stays there.
    const TopOfView anchor { topBlock, place.topOffset };
    keepTopOfView(*m_view, anchor);
    BlockStylePresenter::Window window;
    window.firstBlock = qMax(0, anchor.block - kVisibleMargin);
    window.lastBlock = anchor.block + kVisibleMargin;
    if (styleForWindow(window))
        presentBlocks(window);
    keepTopOfView(*m_view, anchor);
    return true;
}

bool UnifiedBlockEditor::styleForWindow(BlockStylePresenter::Window& shown)
{
    if (!m_styling->isRunning())
        return true;
    BlockStylePresenter::Window window = shown;
    const QTextDocument* document = m_view->document();
    const qsizetype length = m_projected->storage().length();
    const QTextBlock first = document->findBlockByNumber(window.firstBlock);
    QTextBlock last = window.lastBlock < 0 ? document->lastBlock()
                                           : document->findBlockByNumber(window.lastBlock);
    if (!last.isValid())
        last = document->lastBlock();
    if (!first.isValid())
        return false;
    const qsizetype start = qMin<qsizetype>(toStorage(first.position()), length);
    const qsizetype end = qMin<qsizetype>(toStorage(last.position() + last.length()), length);
    const TextSpan styled = m_styling->styleNow({ start, end - start });
    if (styled.length <= 0)
        return false;
    // Paragraphs beyond what holds its final styling wait for the pass.
    window.firstBlock
        = qMax(window.firstBlock, document->findBlock(toView(styled.location)).blockNumber());
    if (styled.end() < length) {
        const int lastStyled = document->findBlock(toView(styled.end()) - 1).blockNumber();
        window.lastBlock = window.lastBlock < 0 ? lastStyled : qMin(window.lastBlock, lastStyled);
    }
    if (window.lastBlock >= 0 && window.firstBlock > window.lastBlock)
        return false;
    shown = window;
    return true;
}

void UnifiedBlockEditor::presentStyled(TextSpan stretch)
{
    // What the pass styled within reach of the view is shown at once; the rest is compared
    // once the pass is done.
    if (!m_view->isVisible())
        return;
    const QTextDocument* document = m_view->document();
    const int top = m_view->blockLayout().blockAt(m_view->verticalScrollBar()->value());
    const int caret = m_view->textCursor().blockNumber();
    const auto [first, last] = blocksOf(*document, stretch, m_projected->windowStart());
    BlockStylePresenter::Window window;
    window.firstBlock = qMax(first, qMin(top, caret) - kVisibleMargin);
    window.lastBlock = qMin(last, qMax(top, caret) + kVisibleMargin);
    if (window.firstBlock > window.lastBlock)
        return;
    FlagScope programmatic(m_isProgrammatic);
    const TopOfView anchor = topOfView(*m_view);
    presentBlocks(window);
    keepTopOfView(*m_view, anchor);
}

HighlightOptions UnifiedBlockEditor::highlightOptions() const
{
    HighlightOptions options;
    options.isDarkMode = isDarkMode();
    options.fontSize = fontSize();
    options.isReadingMode = true;
    options.isFocused = m_revealFocused;
    options.cursorLocation = m_revealCaret;
    return options;
}

void UnifiedBlockEditor::restyle(bool insideDocumentChange)
{
    m_restylePending = false;
    FlagScope programmatic(m_isProgrammatic);
    // A caret out of the window is where the reveal goes, not the view's stand-in at its top.
    m_revealCaret = storageSelection().second;
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
        const auto range = LineRestyler::isolatedRange(m_projected->storage(), *m_view->document(),
            first, last, m_projected->windowStart(), softStarts());
        if (range)
            local.append(*range);
        else
            whole = true;
    }
    // A paragraph or fenced block styled whole is presented whole.
    if (!whole && !m_dirtyAll) {
        for (const TextSpan& range : std::as_const(local)) {
            const auto [first, last]
                = blocksOf(*m_view->document(), range, m_projected->windowStart());
            m_dirtyFirst = qMin(m_dirtyFirst < 0 ? INT_MAX : m_dirtyFirst, first);
            m_dirtyLast = qMax(m_dirtyLast, last);
        }
    }
    BlockStylePresenter::Window window;
    window.deferBlockFormats = insideDocumentChange;
    bool inBackground = false;
    if (!m_dirtyAll) {
        window.firstBlock = qMax(0, m_dirtyFirst);
        window.lastBlock = qMax(window.firstBlock, m_dirtyLast);
        m_restyles->waitForPause();
    } else if (m_view->document()->blockCount() > RestyleScheduler::kChunk) {
        // What the user sees now; the rest follows in the background.
        const int caret = m_view->textCursor().blockNumber();
        const int top = m_view->cursorForPosition(QPoint(0, 0)).blockNumber();
        window.firstBlock = qMax(0, qMin(caret, top) - kVisibleMargin);
        window.lastBlock = qMax(caret, top) + kVisibleMargin;
        inBackground = true;
    }
    bool sliced = whole && m_projected->storage().length() >= kSlicedLength;
    if (sliced) {
        // A long text is styled whole in slices between events (after the first paint when it
        // was just loaded), the part the view needs first; its paragraphs are compared once the
        // pass is done.
        m_restyles->cancelPass();
        // A view about to be shown for the first time (its window not yet on screen) waits too.
        // After edits, only what they changed is gone through again where the last pass can
        // tell.
        if (m_dirtyAll) {
            m_styling->start(m_view->isVisible() || !m_view->window()->isVisible());
        } else {
            m_styling->startAfterChanges(m_revealCaret);
        }
        if (!styleForWindow(window)) {
            // No place near it to cut the text at: styled whole at once.
            m_styling->stop();
            sliced = false;
        }
    }
    if (whole && !sliced) {
        m_styling->stop();
        restyleWholeStorage(options);
        // What is in view reaches the screen before the rest is presented.
        if (inBackground)
            presentInChunks(m_view->isVisible());
    } else if (!whole) {
        m_projected->styleStorage([&](AttributedText& storage) {
            for (const TextSpan& range : std::as_const(local))
                LineRestyler::highlight(storage, range, options);
        });
        m_restyledAlone.append(local);
        for (const TextSpan& range : std::as_const(local))
            m_styling->styledAlone(range);
    }
    if (whole)
        m_restyledAlone.clear();
    m_fullHighlight = false;
    m_localBlocks.clear();
    const int restyled = presentBlocks(window);
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
    presentBlocks(m_deferredWindow);
}

void UnifiedBlockEditor::refreshEverything()
{
    if (storageLags() || m_restylePending) {
        m_restyles->waitForPause();
        return;
    }
    // Either way, what was styled line by line is styled again.
    const bool restyledAround = restyleStretchesAround(m_restyledAlone);
    m_restyledAlone.clear();
    if (restyledAround) {
        m_styling->forgetStyledAlone(m_revealCaret);
        return;
    }
    if (m_projected->storage().length() >= kSlicedLength) {
        // What changed since the last pass, compared once this one is done.
        m_restyles->cancelPass();
        m_styling->startAfterChanges(m_revealCaret);
        return;
    }
    FlagScope programmatic(m_isProgrammatic);
    restyleWholeStorage(highlightOptions());
    presentInChunks(false);
}

qsizetype UnifiedBlockEditor::takeStyledLength()
{
    return m_styling->takeStyledLength();
}

bool UnifiedBlockEditor::isRestylingWhole() const
{
    return m_styling->isRunning() || m_restyles->isPassRunning();
}

bool UnifiedBlockEditor::restyleStretchesAround(const QList<TextSpan>& ranges)
{
    // Only the caret moved since the last pass over the whole text (a long one), which is the
    // text it cut: the stretches between its cuts that hold what was styled line by line, and
    // the caret, are styled again, which gives them what a whole pass would. Anything else
    // (the text changed, no pass went through it) leaves it to the whole pass.
    if (isLoading() || m_dirtyAll)
        return false;
    std::vector<TextSpan> merged;
    for (const TextSpan& range : ranges + QList<TextSpan> { TextSpan(m_revealCaret, 0) }) {
        const std::optional<TextSpan> stretch = m_styling->knownStretchAround(range);
        if (!stretch)
            return false;
        merged.push_back(*stretch);
    }
    joinTouching(merged);
    FlagScope programmatic(m_isProgrammatic);
    const HighlightOptions options = highlightOptions();
    m_projected->styleStorage([&](AttributedText& storage) {
        for (const TextSpan& s : std::as_const(merged))
            LineRestyler::highlight(storage, s, options);
    });
    const QTextDocument* document = m_view->document();
    const TopOfView anchor = topOfView(*m_view);
    for (const TextSpan& s : std::as_const(merged)) {
        BlockStylePresenter::Window window;
        std::tie(window.firstBlock, window.lastBlock)
            = blocksOf(*document, s, m_projected->windowStart());
        if (window.firstBlock <= window.lastBlock)
            presentBlocks(window);
    }
    keepTopOfView(*m_view, anchor);
    m_find->refresh();
    return true;
}

void UnifiedBlockEditor::presentInChunks(bool afterPaint, int firstBlock, int lastBlock)
{
    m_presentingGeneration = m_styling->unpresented().generation;
    m_presentingRevision = m_projected->textRevision();
    m_restyles->startPass(afterPaint, firstBlock, lastBlock);
}

void UnifiedBlockEditor::presentAfterPass()
{
    const BackgroundStyling::Unpresented left = m_styling->unpresented();
    const bool mustWait = storageLags() || m_restylePending || m_presentPending;
    if (left.all || mustWait || m_restyles->isPassRunning()) {
        presentInChunks(false);
        return;
    }
    // Passes over changes styled stretches only: the rest is shown as it was styled. Those out
    // of the window (typing in the other pane far from this one's window) show nothing here.
    std::vector<std::pair<int, int>> blocks;
    int count = 0;
    for (const TextSpan& stretch : left.stretches) {
        const auto [first, last]
            = blocksOf(*m_view->document(), stretch, m_projected->windowStart());
        if (first <= last) {
            blocks.emplace_back(first, last);
            count += last - first + 1;
        }
    }
    if (count >= RestyleScheduler::kChunk) {
        presentInChunks(false, blocks.front().first, blocks.back().second);
        return;
    }
    for (const auto& [first, last] : blocks)
        presentChunk(first, last);
    m_styling->presented(left.generation);
    m_view->settleWhenIdle();
}

void UnifiedBlockEditor::presentChunk(int firstBlock, int lastBlock)
{
    m_presentedAfterPasses
        += qMin(lastBlock, m_view->document()->blockCount() - 1) - firstBlock + 1;
    FlagScope programmatic(m_isProgrammatic);
    BlockStylePresenter::Window window;
    window.firstBlock = firstBlock;
    window.lastBlock = lastBlock;
    const TopOfView anchor = topOfView(*m_view);
    presentBlocks(window);
    keepTopOfView(*m_view, anchor);
}

int UnifiedBlockEditor::presentBlocks(const BlockStylePresenter::Window& window)
{
    m_presenter.setWindowStart(m_projected->windowStart());
    return m_presenter.present(m_projected->storage(), *m_view->document(), fontSize(), window);
}

void UnifiedBlockEditor::markParagraphsDirty(int firstBlock, int lastBlock)
{
    m_localBlocks.append({ firstBlock, lastBlock });
    firstBlock = qMax(0, firstBlock - 1);
    lastBlock = lastBlock + 1;
    m_dirtyFirst = m_dirtyFirst < 0 ? firstBlock : qMin(m_dirtyFirst, firstBlock);
    m_dirtyLast = qMax(m_dirtyLast, lastBlock);
}

std::function<bool(int)> UnifiedBlockEditor::softStarts() const
{
    if (m_projected->holdsAll())
        return {};
    return [this](int block) {
        const TextWindow& window = m_projected->window();
        const int line = window.firstLine() + block;
        return line < window.lineCount() && window.startsSoftly(line);
    };
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
    if (spansLines(first.text()))
        LineRestyler::widenToParagraph(first, last, softStarts());
    markParagraphsDirty(first.blockNumber(), last.blockNumber());
    return true;
}

} // namespace quillon
