#include "editor/layout/LazyLayoutKeeper.h"

#include "editor/document/FlagScope.h"
#include "editor/layout/TextWindow.h"

#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

namespace quillon {

LazyLayoutKeeper::LazyLayoutKeeper(QTextEdit& view, LazyTextLayout& layout)
    : QObject(&view)
    , m_view(view)
    , m_layout(layout)
{
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &LazyLayoutKeeper::settleStep);
    // Settling starts once the document has stopped changing (styling after a load comes in
    // steps of its own), so that it does not lay out what is about to be restyled.
    connect(&m_layout, &LazyTextLayout::estimatesLeft, this,
        [this] { m_settleTimer.start(kSettleDelay); });
    connect(m_view.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_keepingTopLine || m_painting > 0)
            return;
        // The user (or a call) scrolled: the caret may be left out of view now.
        if (m_steadyScrolls == 0)
            m_followCaret = false;
        // What is about to be shown, and a screen above it, gets its real heights now: found
        // while painting, they would move the text being painted.
        // The new position is what the user asked for, so nothing is shifted for them.
        FlagScope arranging(m_arranging);
        const int top = m_view.verticalScrollBar()->value();
        const int height = m_view.viewport()->height();
        m_layout.layoutArea(QRectF(0, top - height, 1, 2 * height));
        m_arranging = false;
        noteTopLine();
    });
    connect(&m_layout, &LazyTextLayout::heightChanged, this, [this](qreal oldBottom, qreal delta) {
        if (!m_arranging && oldBottom <= m_view.verticalScrollBar()->value() + 0.5)
            shiftBy(delta);
    });
    // Heights that became known, or a new styling, move the text below the top line, the caret
    // with it; the scroll range may have been too short for it when it was put in view.
    connect(
        &m_layout, &QAbstractTextDocumentLayout::update, this, &LazyLayoutKeeper::checkCaretLater);
    connect(&m_layout, &QAbstractTextDocumentLayout::documentSizeChanged, this,
        &LazyLayoutKeeper::checkCaretLater);
    connect(&m_view, &QTextEdit::cursorPositionChanged, this, &LazyLayoutKeeper::caretMoved);
    m_view.installEventFilter(this);
}

bool LazyLayoutKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_view || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (pressesModifierOnly(*key))
        return false;
    const QTextCursor caret = m_view.textCursor();
    if (!typesTextOnly(*key)
        && (key == QKeySequence::MoveToEndOfDocument || key == QKeySequence::SelectEndOfDocument)) {
        // The text engine puts the caret on the last line of the last paragraph: all of them.
        const QTextBlock last = m_view.document()->lastBlock();
        m_layout.placedLayout(last, { last.length(), 0 });
    } else {
        // A page down, twice over for a tall line.
        m_layout.reachCaret(caret.position(), 2 * m_view.viewport()->height());
    }
    return false;
}

void LazyLayoutKeeper::caretMoved()
{
    // Qt put the caret in view before saying it moved: if its lines were not made then, it put
    // the wrong place in view, and does it again now that they are.
    if (m_layout.reachCaret(m_view.textCursor().position(), 2 * m_view.viewport()->height())
        && m_painting == 0)
        m_view.ensureCursorVisible();
}

LazyLayoutKeeper::Painting::Painting(LazyLayoutKeeper& keeper, const QRect& exposed)
    : m_keeper(keeper)
    , m_scope(keeper.m_layout)
{
    ++m_keeper.m_painting;
    const QTextEdit& view = m_keeper.m_view;
    const QPointF offset(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    m_keeper.m_layout.layoutArea(QRectF(exposed).translated(offset));
    m_keeper.noteTopLine();
}

LazyLayoutKeeper::Painting::~Painting()
{
    --m_keeper.m_painting;
}

void LazyLayoutKeeper::shiftBy(qreal delta)
{
    m_pendingShift += delta;
    if (m_painting > 0) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                shiftBy(0);
                m_view.viewport()->update();
            },
            Qt::QueuedConnection);
        return;
    }
    const int whole = qRound(m_pendingShift);
    if (whole == 0)
        return;
    m_pendingShift -= whole;
    QScrollBar* bar = m_view.verticalScrollBar();
    if (bar->value() + whole > bar->maximum())
        m_layout.reportNow(); // the scroll range must already hold the new position
    FlagScope keeping(m_keepingTopLine);
    bar->setValue(bar->value() + whole);
    // The text on screen stayed where it was, but the view scrolled its pixels along with the
    // scroll position: they are painted again where they belong.
    m_view.viewport()->update();
}

void LazyLayoutKeeper::noteTopLine()
{
    // While the width changes, the layout's lines are not yet the view's.
    const QTextDocument* document = m_view.document();
    if (m_keepingTopLine || document->pageSize().width() != m_view.viewport()->width())
        return;
    const int top = m_view.verticalScrollBar()->value();
    const QTextBlock block = document->findBlockByNumber(m_layout.blockAt(top));
    if (!block.isValid())
        return;
    const QTextLayout* text
        = m_layout.placedLayout(block, { 0, top - m_layout.blockTop(block.blockNumber()) });
    if (!text || text->lineCount() == 0)
        return;
    QTextLine line = text->lineAt(0);
    for (int i = 1; i < text->lineCount(); ++i) {
        if (text->position().y() + text->lineAt(i).y() > top)
            break;
        line = text->lineAt(i);
    }
    // The character kept at the top stays the same while it is on the top line: after a change
    // of width the line it is on may start at another character, and the next change of width
    // would then carry the view to that one's line.
    const int lineStart = block.position() + line.textStart();
    if (m_topLine.position < lineStart || m_topLine.position >= lineStart + line.textLength())
        m_topLine.position = lineStart;
    m_topLine.offset = top - (text->position().y() + line.y());
}

void LazyLayoutKeeper::restoreTopLine()
{
    if (m_topLine.position < 0)
        return;
    const QTextBlock block = m_view.document()->findBlock(m_topLine.position);
    if (!block.isValid())
        return;
    m_layout.blockBoundingRect(block);
    const QTextLayout* text
        = m_layout.placedLayout(block, { m_topLine.position - block.position(), 0 });
    if (!text)
        return;
    const QTextLine line = text->lineForTextPosition(m_topLine.position - block.position());
    if (!line.isValid())
        return;
    const int value = qRound(text->position().y() + line.y() + m_topLine.offset);
    QScrollBar* bar = m_view.verticalScrollBar();
    if (value > bar->maximum())
        m_layout.reportNow(); // the scroll range must already hold the new position
    bar->setValue(value);
}

void LazyLayoutKeeper::resized(QResizeEvent* event, const std::function<void()>& resize)
{
    const bool widthChanged = event->oldSize().width() != event->size().width();
    {
        FlagScope keeping(m_keepingTopLine);
        resize();
        if (widthChanged)
            restoreTopLine();
    }
    noteTopLine();
}

void LazyLayoutKeeper::keepTopLine(const std::function<void()>& change)
{
    noteTopLine();
    {
        FlagScope keeping(m_keepingTopLine);
        change();
        restoreTopLine();
    }
    noteTopLine();
}

void LazyLayoutKeeper::settleStep()
{
    // A view out of sight settles once it is shown again.
    if (!m_view.isVisible())
        return;
    QScrollBar* bar = m_view.verticalScrollBar();
    const int topBlock = m_layout.blockAt(bar->value());
    const qreal before = m_layout.blockTop(topBlock);
    const bool more = m_layout.settle(kSettleBudgetMs);
    shiftBy(m_layout.blockTop(topBlock) - before);
    // The scroll range follows about once a second rather than after every step.
    if (!more || !m_settleReported.isValid() || m_settleReported.elapsed() >= 1000) {
        m_layout.reportNow();
        m_settleReported.start();
    }
    if (more)
        m_settleTimer.start(0);
}

void LazyLayoutKeeper::shown()
{
    if (m_layout.hasEstimates() && !m_settleTimer.isActive())
        m_settleTimer.start(kSettleDelay);
}

void LazyLayoutKeeper::settleWhenIdle()
{
    if (!m_layout.hasEstimates())
        return;
    const qint64 idle = m_lastInput.isValid() ? m_lastInput.elapsed() : kSettleDelay;
    m_settleTimer.start(int(qMax<qint64>(0, kSettleDelay - idle)));
}

void LazyLayoutKeeper::checkCaretLater()
{
    if (!m_followCaret || m_caretCheckQueued)
        return;
    m_caretCheckQueued = true;
    QMetaObject::invokeMethod(this, &LazyLayoutKeeper::keepCaretInView, Qt::QueuedConnection);
}

void LazyLayoutKeeper::keepCaretInView()
{
    m_caretCheckQueued = false;
    if (!m_followCaret || !m_view.isVisible())
        return;
    if (m_view.viewport()->rect().contains(m_view.cursorRect()))
        return;
    m_layout.reportNow(); // the scroll range must reach the caret
    const SteadyScroll revealing(*this);
    m_view.ensureCursorVisible();
}

void LazyLayoutKeeper::inputHandled()
{
    m_followCaret = m_view.viewport()->rect().contains(m_view.cursorRect());
    // Settling waits until the user pauses.
    m_lastInput.start();
    if (m_settleTimer.isActive())
        m_settleTimer.start(kSettleDelay);
}

} // namespace quillon
