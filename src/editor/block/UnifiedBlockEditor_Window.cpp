// The block editor holding a window of a long text: the view's document holds the storage's
// paragraphs around what is shown and is filled again from the storage as the view moves; the
// paragraphs outside it stand in the layout as estimated (or last measured) heights.
#include "editor/block/UnifiedBlockEditor.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/CaretLineTracker.h"
#include "editor/block/RestyleScheduler.h"
#include "editor/document/EditorFindController.h"
#include "editor/document/FlagScope.h"
#include "editor/table/TableEditingController.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace quillon {

void UnifiedBlockEditor::showWindowHeights()
{
    const TextWindow& window = m_projected->window();
    if (m_projected->holdsAll())
        m_view->blockLayout().setOutsideHeights(0, 0);
    else
        m_view->blockLayout().setOutsideHeights(window.heightAbove(), window.heightBelow());
}

std::pair<qsizetype, qsizetype> UnifiedBlockEditor::storageSelection() const
{
    if (m_detached)
        return *m_detached;
    const QTextCursor cursor = m_view->textCursor();
    return { toStorage(cursor.anchor()), toStorage(cursor.position()) };
}

void UnifiedBlockEditor::restoreSelection(qsizetype anchor, qsizetype caret)
{
    const bool inside = m_projected->inWindow(anchor) && m_projected->inWindow(caret);
    QTextCursor cursor(m_view->document());
    if (inside) {
        cursor.setPosition(toView(anchor));
        cursor.setPosition(toView(caret), QTextCursor::KeepAnchor);
    }
    QScrollBar* bar = m_view->verticalScrollBar();
    const int scroll = bar->value();
    {
        FlagScope programmatic(m_isProgrammatic);
        FlagScope moving(m_movingWindow);
        m_view->setTextCursor(cursor);
        bar->setValue(scroll);
    }
    if (inside)
        m_detached.reset();
    else
        m_detached = { anchor, caret };
    m_caretStorage = caret;
}

void UnifiedBlockEditor::keepHeights()
{
    if (m_projected->holdsAll())
        return;
    const BlockDocumentLayout& layout = m_view->blockLayout();
    TextWindow& window = m_projected->window();
    const int count = m_view->document()->blockCount();
    if (count != window.endLine() - window.firstLine())
        return;
    for (int i = 0; i < count; ++i) {
        const double top = layout.blockStart(i);
        window.setHeight(window.firstLine() + i, layout.blockStart(i + 1) - top);
    }
}

TextWindow::Frame UnifiedBlockEditor::windowFrame() const
{
    const BlockDocumentLayout& layout = m_view->blockLayout();
    const double top = layout.heldTopY();
    return { top - layout.heightAbove(), top, layout.heldHeight() };
}

UnifiedBlockEditor::LineTop UnifiedBlockEditor::lineAtY(double y) const
{
    const BlockDocumentLayout& layout = m_view->blockLayout();
    auto heldAt = [&layout](double at) -> LineTop {
        const int block = qMax(0, layout.blockAt(at));
        return { block, layout.blockStart(block) };
    };
    if (m_projected->holdsAll())
        return heldAt(y);
    return m_projected->window().lineAtY(y, windowFrame(), heldAt);
}

double UnifiedBlockEditor::topOfLine(int line) const
{
    const BlockDocumentLayout& layout = m_view->blockLayout();
    auto heldTopOf = [&layout](int block) { return layout.blockStart(block); };
    if (m_projected->holdsAll())
        return heldTopOf(line);
    return m_projected->window().topOfLine(line, windowFrame(), heldTopOf);
}

void UnifiedBlockEditor::presentFilled(int block)
{
    presentAround(block);
    presentInChunks(false);
    m_find->refresh();
}

void UnifiedBlockEditor::presentAround(int block)
{
    FlagScope programmatic(m_isProgrammatic);
    BlockStylePresenter::Window window;
    window.firstBlock = qMax(0, block - kVisibleMargin);
    window.lastBlock = block + kVisibleMargin;
    if (styleForWindow(window))
        presentBlocks(window);
}

void UnifiedBlockEditor::scrollMeasured(const std::function<double(double page)>& top)
{
    presentAround(m_view->textCursor().blockNumber());
    // Measured on the paint, the paragraphs above what is to be shown would push it below the
    // view: they are measured before the view goes there.
    const double page = m_view->viewport()->height();
    m_view->verticalScrollBar()->setValue(
        qRound(m_view->blockLayout().layoutAroundTop([&] { return top(page); }, page)));
    m_view->ensureCursorVisible();
}

void UnifiedBlockEditor::showCaretMeasured()
{
    const QTextBlock block = m_view->textCursor().block();
    const double from = m_view->verticalScrollBar()->value();
    const BlockDocumentLayout& layout = m_view->blockLayout();
    scrollMeasured([&](double page) {
        const QRectF rect = layout.blockBoundingRect(block);
        if (rect.bottom() > from + page)
            return qMin(rect.top(), rect.bottom() - page);
        return qMin(from, rect.top());
    });
}

void UnifiedBlockEditor::moveWindow(int firstLine, int endLine)
{
    refillKeepingPlace([&] {
        keepHeights();
        m_view->setTextCursor(QTextCursor());
        m_projected->placeWindow(firstLine, endLine);
    });
}

void UnifiedBlockEditor::refillKeepingPlace(const std::function<void()>& refill)
{
    m_tableEditor->commit();
    QScrollBar* bar = m_view->verticalScrollBar();
    const auto [anchor, caret] = storageSelection();
    const LineTop top = lineAtY(bar->value());
    const double within = bar->value() - top.y;
    {
        FlagScope programmatic(m_isProgrammatic);
        FlagScope moving(m_movingWindow);
        m_tableEditor->teardown();
        refill();
        showWindowHeights();
        m_caretLine->reset();
    }
    restoreSelection(anchor, caret);
    FlagScope moving(m_movingWindow);
    m_view->blockLayout().reportNow();
    const int firstHeld = m_projected->holdsAll() ? 0 : m_projected->window().firstLine();
    presentFilled(qMax(0, top.line - firstHeld));
    scrollToLineTop(top.line, within);
}

void UnifiedBlockEditor::scrollToLineTop(int line, double within)
{
    const double y = m_view->blockLayout().layoutAroundTop(
        [&] { return topOfLine(line) + within; }, m_view->viewport()->height());
    m_view->verticalScrollBar()->setValue(qRound(y));
}

void UnifiedBlockEditor::coverRange(qsizetype from, qsizetype to)
{
    if (m_projected->holdsAll() || m_projected->window().covers(from, to))
        return;
    const auto [first, end] = m_projected->window().around(from, to);
    moveWindow(first, end);
}

void UnifiedBlockEditor::followScroll()
{
    m_scrollQueued = false;
    if (m_projected->holdsAll() || m_movingWindow || m_isProgrammatic)
        return;
    if (m_binding->hasPending())
        m_binding->follow();
    const TextWindow& window = m_projected->window();
    const int y = m_view->verticalScrollBar()->value();
    qsizetype from = window.lineStart(lineAtY(y).line);
    qsizetype to = window.lineEnd(lineAtY(y + m_view->viewport()->height()).line);
    // A selection being dragged past the window's edge grows it. A click alone (on a table's
    // cell, say) has not placed the caret yet, and the window does not go looking for it.
    if (QApplication::mouseButtons() & Qt::LeftButton && !m_detached
        && m_view->textCursor().hasSelection()) {
        const auto [anchor, caret] = storageSelection();
        from = qMin(from, qMin(anchor, caret));
        to = qMax(to, qMax(anchor, caret));
    }
    coverRange(from, to);
}

bool UnifiedBlockEditor::windowKey(QKeyEvent& event)
{
    if (m_projected->holdsAll() || pressesModifierOnly(event))
        return false;
    const auto [anchor, caret] = storageSelection();
    const qsizetype length = m_projected->storage().length();
    const qsizetype low = qMin(anchor, caret);
    const qsizetype high = qMax(anchor, caret);
    if (const std::optional<qsizetype> end = caretToTextEnd(event, length)) {
        const qsizetype to = *end;
        // The caret is placed here, not by the view: the line it leaves hides its markers while
        // it is still held, and the line it reaches shows them once the window holds it (which
        // keeps the selection placed, or held apart while out of the window).
        const int left = m_detached ? -1 : m_view->textCursor().blockNumber();
        restoreSelection(to, to);
        if (left >= 0 && markCaretParagraphDirty(left))
            restyleLinesAlone();
        coverRange(to, to);
        m_document.breakTypingRun();
        noteCaretLine(-1);
        // The very top (the column's top margin too), or the last screen.
        const QAbstractTextDocumentLayout* layout = m_view->document()->documentLayout();
        scrollMeasured(
            [&](double page) { return to == 0 ? 0.0 : layout->documentSize().height() - page; });
        return true;
    }
    const auto [from, to] = keyReach(event, low, high, length, [&] {
        const TextWindow& window = m_projected->window();
        const int y = m_view->verticalScrollBar()->value();
        const int page = m_view->viewport()->height();
        return std::pair(window.lineStart(lineAtY(qMax(0, y - page)).line),
            window.lineEnd(lineAtY(y + 2 * page).line));
    });
    coverRange(from, to);
    if (m_detached)
        restoreSelection(anchor, caret);
    return false;
}

} // namespace quillon
