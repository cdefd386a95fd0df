#include "editor/document/DocumentFind.h"
#include "editor/document/EditorFindController.h"
#include "editor/document/FlagScope.h"
#include "editor/source/CodeEditorView.h"
#include "editor/source/SourceColouring.h"
#include "editor/source/SourceDocumentLayout.h"
#include "editor/source/SourceDocumentText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <optional>

namespace quillon {

int CodeEditorView::toView(qsizetype offset) const
{
    if (!m_window)
        return int(offset);
    return int(
        qBound<qsizetype>(0, offset - m_window->start(), m_window->end() - m_window->start()));
}

TextWindow::Estimate CodeEditorView::estimator() const
{
    return m_view->sourceLayout().heightEstimator();
}

std::pair<qsizetype, qsizetype> CodeEditorView::documentSelection() const
{
    if (m_detached)
        return *m_detached;
    const QTextCursor cursor = m_view->textCursor();
    return { windowStart() + cursor.anchor(), windowStart() + cursor.position() };
}

void CodeEditorView::selectInDocument(qsizetype anchor, qsizetype position)
{
    m_binding->follow();
    const qsizetype length = m_document.text().size();
    anchor = qBound<qsizetype>(0, anchor, length);
    position = qBound<qsizetype>(0, position, length);
    if (m_window)
        coverRange(anchor, position);
    {
        FlagScope programmatic(m_isProgrammatic);
        restoreSelection(anchor, position);
    }
    m_view->ensureCursorVisible();
}

void CodeEditorView::restoreSelection(qsizetype anchor, qsizetype position)
{
    const qsizetype start = windowStart();
    const qsizetype end = m_window ? m_window->end() : m_document.text().size();
    const bool inside = anchor >= start && anchor <= end && position >= start && position <= end;
    QTextCursor cursor(m_view->document());
    if (inside) {
        cursor.setPosition(int(anchor - start));
        cursor.setPosition(int(position - start), QTextCursor::KeepAnchor);
    }
    QScrollBar* bar = m_view->verticalScrollBar();
    const int scroll = bar->value();
    {
        FlagScope moving(m_movingWindow);
        m_view->setTextCursor(cursor);
        bar->setValue(scroll);
    }
    if (inside) {
        m_detached.reset();
        m_view->setCursorWidth(m_cursorWidth);
    } else {
        // Kept for when the window comes back to it; no caret is drawn meanwhile.
        m_detached = { anchor, position };
        m_view->setCursorWidth(0);
    }
}

void CodeEditorView::startWindow(std::optional<ReplacedStretch> stretch)
{
    FlagScope programmatic(m_isProgrammatic);
    FlagScope moving(m_movingWindow);
    QScrollBar* bar = m_view->verticalScrollBar();
    auto [anchor, position] = documentSelection();
    // The text at the top of the screen, to keep it there.
    qsizetype top = 0;
    double within = 0;
    if (m_window) {
        const LineTop line = lineAtY(bar->value());
        top = m_window->lineStart(line.line);
        within = bar->value() - line.y;
    } else {
        const QTextCursor first = m_view->cursorForPosition(QPoint(0, 0));
        const QTextBlock block = m_view->document()->findBlock(first.position());
        top = block.position();
        // Above the first line, within its top margin too.
        within = bar->value() - m_view->sourceLayout().blockTop(block.blockNumber());
    }
    if (stretch) {
        anchor = stretch->map(anchor);
        position = stretch->map(position);
        if (stretch->position < top)
            top = stretch->map(top);
    }
    const ChunkedText& text = m_document.text();
    top = qBound<qsizetype>(0, top, text.size());
    m_loading.reset();
    m_windowAfterLoading = false;
    m_detached.reset();
    // Lines found on another thread while the first screen was shown serve if the text is still
    // the one they were found in.
    std::optional<FoundLines> found = std::exchange(m_foundLines, std::nullopt);
    std::optional<std::pair<TextWindow, bool>> lines;
    if (found && found->version == m_document.version())
        lines = found->lines.takeResult();
    if (lines && lines->first.textLength() == text.size()) {
        m_window = std::move(lines->first);
        m_window->estimateFound(estimator());
        m_hasStandIn = lines->second;
    } else {
        m_window.emplace();
        m_window->reset(text, estimator());
        m_hasStandIn = textHasStandIn();
    }
    m_colouring->setParts(&*m_window);
    const int topLine = m_window->lineAt(top);
    const auto [first, end] = m_window->around(top, top);
    m_window->place(first, end);
    fillWindow();
    m_colouring->colourAll(text);
    restoreSelection(anchor, position);
    m_view->sourceLayout().reportNow();
    bar->setValue(qRound(topOfLine(topLine) + within));
    updateReadOnly();
}

void CodeEditorView::fillWindow()
{
    // Emptying the view shrinks its scroll range, which scrolls it: that must not move the
    // window being filled.
    FlagScope moving(m_movingWindow);
    SourceDocumentLayout& layout = m_view->sourceLayout();
    layout.setOutsideHeights(m_window->heightAbove(), m_window->heightBelow());
    QTextDocument* textDocument = m_view->document();
    textDocument->clear();
    QTextCursor cursor(textDocument);
    cursor.beginEditBlock();
    const ChunkedText& text = m_document.text();
    text.forEachPiece(m_window->start(), m_window->end(), [&](QStringView piece, qsizetype at) {
        QString held = piece.toString();
        m_window->breakSoftly(held, at);
        cursor.insertText(SourceDocumentText::toDocument(std::move(held)));
        return true;
    });
    cursor.endEditBlock();
    m_colouring->setWindow(m_window->start(), m_window->end());
    m_find->refresh();
    m_view->viewport()->update();
}

void CodeEditorView::keepHeights()
{
    const SourceDocumentLayout& layout = m_view->sourceLayout();
    const int count = m_view->document()->blockCount();
    if (count != m_window->endLine() - m_window->firstLine())
        return;
    for (int i = 0; i < count; ++i)
        m_window->setHeight(m_window->firstLine() + i, layout.blockBottom(i) - layout.blockTop(i));
}

TextWindow::Frame CodeEditorView::windowFrame() const
{
    const double margin = m_view->document()->documentMargin();
    return { margin, margin + m_window->heightAbove(), m_view->sourceLayout().heldHeight() };
}

CodeEditorView::LineTop CodeEditorView::lineAtY(double y) const
{
    const SourceDocumentLayout& layout = m_view->sourceLayout();
    return m_window->lineAtY(y, windowFrame(), [&layout](double at) -> LineTop {
        const int block = layout.blockAt(at);
        return { block, layout.blockTop(block) };
    });
}

double CodeEditorView::topOfLine(int line) const
{
    const SourceDocumentLayout& layout = m_view->sourceLayout();
    return m_window->topOfLine(
        line, windowFrame(), [&layout](int block) { return layout.blockTop(block); });
}

void CodeEditorView::moveWindow(int firstLine, int endLine)
{
    FlagScope programmatic(m_isProgrammatic);
    FlagScope moving(m_movingWindow);
    QScrollBar* bar = m_view->verticalScrollBar();
    const auto [anchor, position] = documentSelection();
    const LineTop top = lineAtY(bar->value());
    const double within = bar->value() - top.y;
    keepHeights();
    m_window->place(firstLine, endLine);
    fillWindow();
    m_colouring->colourWindow(m_document.text());
    restoreSelection(anchor, position);
    m_view->sourceLayout().reportNow();
    bar->setValue(qRound(topOfLine(top.line) + within));
}

void CodeEditorView::coverRange(qsizetype from, qsizetype to)
{
    if (!m_window || m_window->covers(from, to))
        return;
    const auto [first, end] = m_window->around(from, to);
    moveWindow(first, end);
}

void CodeEditorView::followScroll()
{
    if (!m_window || m_movingWindow)
        return;
    // Scrolled to keep the top line in place while a paragraph was measured for a caret or a
    // hit: the window moves once the text engine has let go of the paragraphs it holds.
    if (m_view->sourceLayout().isReportingHeight()) {
        if (!std::exchange(m_followQueued, true)) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_followQueued = false;
                    followScroll();
                },
                Qt::QueuedConnection);
        }
        return;
    }
    if (m_binding->hasPending()) {
        FlagScope moving(m_movingWindow);
        m_binding->follow();
    }
    const int y = m_view->verticalScrollBar()->value();
    qsizetype from = m_window->lineStart(lineAtY(y).line);
    const LineTop bottom = lineAtY(y + m_view->viewport()->height());
    qsizetype to = m_window->lineEnd(bottom.line);
    // A selection being dragged past the window's edge grows it.
    if (QApplication::mouseButtons() & Qt::LeftButton && !m_detached) {
        const auto [anchor, position] = documentSelection();
        from = qMin(from, qMin(anchor, position));
        to = qMax(to, qMax(anchor, position));
    }
    coverRange(from, to);
}

bool CodeEditorView::windowKey(QKeyEvent& event)
{
    if (!m_window || pressesModifierOnly(event))
        return false;
    auto [anchor, position] = documentSelection();
    const qsizetype length = m_document.text().size();
    const qsizetype low = qMin(anchor, position);
    const qsizetype high = qMax(anchor, position);
    if (const std::optional<qsizetype> to = caretToTextEnd(event, length)) {
        selectInDocument(*to, *to);
        return true;
    }
    const auto [from, to] = keyReach(event, low, high, length, [&] {
        // A page from the caret, and a page beyond the screen either way.
        const int y = m_view->verticalScrollBar()->value();
        const int page = m_view->viewport()->height();
        return std::pair(m_window->lineStart(lineAtY(qMax(0, y - page)).line),
            m_window->lineEnd(lineAtY(y + 2 * page).line));
    });
    coverRange(from, to);
    if (m_detached) {
        FlagScope programmatic(m_isProgrammatic);
        restoreSelection(anchor, position);
    }
    return false;
}

void CodeEditorView::windowMouse(QEvent& event)
{
    if (event.type() == QEvent::InputMethod) {
        auto [anchor, position] = documentSelection();
        coverRange(anchor, position);
        FlagScope programmatic(m_isProgrammatic);
        restoreSelection(anchor, position);
        return;
    }
    if (event.type() != QEvent::MouseButtonPress || !m_detached)
        return;
    const auto [anchor, position] = *m_detached;
    if (static_cast<QMouseEvent&>(event).modifiers() & Qt::ShiftModifier) {
        // Extends the selection kept aside: the window takes it and the screen.
        const int y = m_view->verticalScrollBar()->value();
        const qsizetype top = m_window->lineStart(lineAtY(y).line);
        const qsizetype bottom = m_window->lineEnd(lineAtY(y + m_view->viewport()->height()).line);
        coverRange(qMin(anchor, top), qMax(anchor, bottom));
        FlagScope programmatic(m_isProgrammatic);
        restoreSelection(anchor, position);
        return;
    }
    m_detached.reset();
    m_view->setCursorWidth(m_cursorWidth);
}

void CodeEditorView::applyToWindow(const QList<TextEdit>& edits)
{
    FlagScope programmatic(m_isProgrammatic);
    QScrollBar* bar = m_view->verticalScrollBar();
    const int scroll = bar->value();
    const double aboveBefore = m_window->heightAbove();
    auto [anchor, position] = documentSelection();
    const ReplacedStretch changed = DocumentBinding::stretchOf(edits);
    // The view's scroll range changes with each edit put in; the window follows the scroll
    // only once all of them are in.
    std::optional<FlagScope> moving(std::in_place, m_movingWindow);
    bool refill = false;
    for (const TextEdit& edit : edits) {
        anchor = mapThroughEdit(anchor, edit.position, edit.removedLength, edit.inserted.size());
        position
            = mapThroughEdit(position, edit.position, edit.removedLength, edit.inserted.size());
        const qsizetype start = m_window->start();
        const TextWindow::Place place
            = m_window->apply(edit.position, edit.removedLength, edit.inserted, estimator());
        if (refill || place == TextWindow::Place::Above || place == TextWindow::Place::Below)
            continue;
        if (place == TextWindow::Place::Across) {
            refill = true;
            continue;
        }
        putEdit(edit, start);
    }
    if (refill) {
        fillWindow();
        m_colouring->colourWindow(m_document.text());
    } else {
        m_view->sourceLayout().setOutsideHeights(m_window->heightAbove(), m_window->heightBelow());
    }
    // Only an edit can take the last stand-in out.
    if (m_hasStandIn)
        m_hasStandIn = textHasStandIn();
    m_colouring->setWindow(m_window->start(), m_window->end());
    m_colouring->colourEdit(
        m_document.text(), changed.position, changed.removedLength, changed.insertedLength);
    m_find->refresh();
    restoreSelection(anchor, position);
    m_view->sourceLayout().reportNow();
    moving.reset();
    bar->setValue(scroll + qRound(m_window->heightAbove() - aboveBefore));
    updateReadOnly();
}

void CodeEditorView::followEditsInWindow(
    const QList<TextEdit>& edits, const ReplacedStretch& outside)
{
    if (edits.size() > 1)
        applyToView(edits.first(edits.size() - 1));
    QScrollBar* bar = m_view->verticalScrollBar();
    const LineTop top = lineAtY(bar->value());
    const qsizetype topOffset = m_window->lineStart(top.line);
    const double within = bar->value() - top.y;
    const auto [anchor, position] = documentSelection();
    applyToView({ edits.last() });
    FlagScope programmatic(m_isProgrammatic);
    restoreSelection(outside.map(anchor), outside.map(position));
    if (outside.position < topOffset) {
        const int line = m_window->lineAt(qMin(outside.map(topOffset), m_window->textLength()));
        m_view->sourceLayout().reportNow();
        bar->setValue(qRound(topOfLine(line) + within));
    }
}

void CodeEditorView::userEditInWindow(int position, int removed, int added)
{
    QTextDocument* textDocument = m_view->document();
    const qsizetype start = m_window->start();
    const qsizetype held = m_window->end() - start;
    if (m_binding->isBehind()) {
        takeEditBehind(position, removed, added, start, held);
        return;
    }
    const int documentLength = textDocument->characterCount() - 1;
    added = qMin(added, documentLength - position);
    removed = int(qMin<qsizetype>(removed, held - position));
    if (added < 0 || removed < 0 || held - removed + added != documentLength) {
        // The change cannot be told as a range: the whole text goes to the document.
        // What stands before the change and after it in the view is the window's text, soft
        // breaks and all.
        const QString held = SourceDocumentText::fromDocument(textDocument->toRawText());
        QString before = held.left(qMax(0, position));
        m_window->joinSoftly(before, start);
        QString after = held.mid(qMax(0, position + qMax(0, added)));
        m_window->joinSoftly(after, m_window->end() - after.size());
        const ChunkedText& text = m_document.text();
        const QString all = text.mid(0, start) + before
            + held.mid(before.size(), held.size() - before.size() - after.size()) + after
            + text.mid(m_window->end());
        m_document.applyUserText(all, this);
        startWindow(std::nullopt);
        return;
    }
    const QString inserted = reportEdit(position, removed, added, start);
    const qsizetype at = start + position;
    m_window->apply(at, removed, inserted, estimator());
    m_colouring->setWindow(m_window->start(), m_window->end());
    m_colouring->colourEdit(m_document.text(), at, removed, added);
    m_find->refresh();
}

} // namespace quillon
