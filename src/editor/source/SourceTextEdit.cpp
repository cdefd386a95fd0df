#include "editor/source/SourceTextEdit.h"

#include "editor/document/FlagScope.h"
#include "editor/document/HeldInput.h"
#include "editor/document/HistoryMenu.h"
#include "editor/layout/LazyLayoutKeeper.h"
#include "editor/source/SourceDocumentLayout.h"
#include "editor/source/SourceDocumentText.h"
#include "ui/SteadyScrollBar.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

namespace quillon {

SourceTextEdit::SourceTextEdit(QWidget* parent)
    : QTextEdit(parent)
{
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    m_layout = new SourceDocumentLayout(document());
    document()->setDocumentLayout(m_layout);
    // Text is shaped for the screen it is shown on, as the view's own layout would.
    m_layout->setPaintDevice(viewport());
    m_keeper = new LazyLayoutKeeper(*this, *m_layout);
    setAcceptRichText(false);
    setTabChangesFocus(false);
    // After the text edit's own handler and the keeper's: the lines at the new position are laid
    // out when it runs.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &SourceTextEdit::snapScroll);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderPageStepAdd)
            m_pageStep = 1;
        else if (action == QAbstractSlider::SliderPageStepSub)
            m_pageStep = -1;
    });
}

int SourceTextEdit::lineTop(int y, bool down) const
{
    if (y <= 0)
        return 0;
    const int number = m_layout->blockAt(y);
    const QTextLayout* text = m_layout->placedLayout(document()->findBlockByNumber(number));
    if (!text || text->lineCount() == 0)
        return y;
    const qreal top = text->position().y();
    const auto topOf = [&](int i) { return top + text->lineAt(i).y(); };
    // The line holding y (the first for a y in the margin above it) and the top of the next.
    int line = 0;
    while (line + 1 < text->lineCount() && topOf(line + 1) <= y)
        ++line;
    const bool hasNext = line + 1 < text->lineCount() || number + 1 < document()->blockCount();
    const qreal next
        = line + 1 < text->lineCount() ? topOf(line + 1) : m_layout->blockBottom(number);
    // The text's first line stands at the top with the margin above it: at 0.
    const bool first = number == 0 && line == 0 && m_layout->heightAbove() == 0;
    if (!first && topOf(line) == y)
        return y;
    if (!down || !hasNext)
        return first ? 0 : qRound(topOf(line));
    return qRound(next);
}

void SourceTextEdit::snapScroll()
{
    QScrollBar* bar = verticalScrollBar();
    if (beforeScroll && !m_snapping)
        beforeScroll();
    const int value = bar->value();
    const int before = std::exchange(m_scroll, value);
    const int page = std::exchange(m_pageStep, 0);
    if (m_snapping || value == before)
        return;
    int snapped = value;
    if (page > 0) {
        // The line cut at the bottom comes to the top, as a page of lines moves it.
        snapped = lineTop(value, false);
        if (snapped <= before)
            snapped = lineTop(value, true);
    } else if (page < 0) {
        snapped = lineTop(value, true);
        if (snapped >= before)
            snapped = lineTop(value, false);
    } else {
        // Down to the next line's top, so that what was to be shown at the bottom is; up to the
        // top of the line reached.
        snapped = lineTop(value, value > before);
    }
    if (snapped > bar->maximum())
        snapped = lineTop(bar->maximum(), false);
    if (snapped == value)
        return;
    FlagScope snapping(m_snapping);
    bar->setValue(snapped);
    m_scroll = bar->value();
}

void SourceTextEdit::wheelEvent(QWheelEvent* event)
{
    // A turn of the wheel moves the text by lines, as many as the platform says.
    const int delta = event->angleDelta().y();
    if (event->modifiers() != Qt::NoModifier || delta == 0 || event->angleDelta().x() != 0) {
        QTextEdit::wheelEvent(event);
        return;
    }
    m_wheelLines += delta / 120.0 * QApplication::wheelScrollLines();
    const int lines = int(m_wheelLines);
    m_wheelLines -= lines;
    QScrollBar* bar = verticalScrollBar();
    int y = bar->value();
    for (int i = 0; i < qAbs(lines) && y <= bar->maximum(); ++i)
        y = lines < 0 ? lineTop(y + 1, true) : lineTop(y - 1, false);
    bar->setValue(qMin(y, bar->maximum()));
    event->accept();
}

void SourceTextEdit::changeEvent(QEvent* event)
{
    if (event->type() != QEvent::FontChange || !m_keeper) {
        QTextEdit::changeEvent(event);
        return;
    }
    // Every line changes its height: the scroll position in pixels would show another part of
    // the text.
    m_keeper->keepTopLine([&] { QTextEdit::changeEvent(event); });
    // The scroll bar's arrows move the text by a line.
    verticalScrollBar()->setSingleStep(qMax(1, qRound(m_layout->lineHeight())));
}

void SourceTextEdit::keyPressEvent(QKeyEvent* event)
{
    if (beforeKey && beforeKey(*event)) {
        m_keeper->inputHandled();
        return;
    }
    handleKey(event);
    m_keeper->inputHandled();
}

void SourceTextEdit::handleKey(QKeyEvent* event)
{
    // The document's history, not the view's own.
    if (event->matches(QKeySequence::Undo) && onUndo) {
        onUndo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Redo) && onRedo) {
        onRedo();
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (std::any_of(typed.begin(), typed.end(), SourceDocumentText::isStandIn)) {
        QString text = typed;
        text.removeIf(SourceDocumentText::isStandIn);
        if (text.isEmpty()) {
            event->accept();
            return;
        }
        QKeyEvent kept(event->type(), event->key(), event->modifiers(), text, event->isAutoRepeat(),
            event->count());
        QTextEdit::keyPressEvent(&kept);
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void SourceTextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString committed = event->commitString();
    if (std::any_of(committed.begin(), committed.end(), SourceDocumentText::isStandIn)) {
        QString text = committed;
        text.removeIf(SourceDocumentText::isStandIn);
        QInputMethodEvent kept(event->preeditString(), event->attributes());
        kept.setCommitString(text, event->replacementStart(), event->replacementLength());
        QTextEdit::inputMethodEvent(&kept);
    } else {
        QTextEdit::inputMethodEvent(event);
    }
    m_keeper->inputHandled();
}

void SourceTextEdit::mousePressEvent(QMouseEvent* event)
{
    QTextEdit::mousePressEvent(event);
    m_keeper->inputHandled();
}

void SourceTextEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    m_keeper->inputHandled();
}

void SourceTextEdit::dropEvent(QDropEvent* event)
{
    QTextEdit::dropEvent(event);
    keepDragSourceText(*event, *this);
    m_keeper->inputHandled();
}

void SourceTextEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu(event->pos());
    routeHistoryActions(
        *menu, this, { canUndo, canRedo, onUndo, onRedo }, [this] { m_keeper->inputHandled(); });
    menu->exec(event->globalPos());
    delete menu;
    m_keeper->inputHandled();
}

void SourceTextEdit::paintEvent(QPaintEvent* event)
{
    const LazyLayoutKeeper::Painting painting(*m_keeper, event->rect());
    QTextEdit::paintEvent(event);
}

void SourceTextEdit::resizeEvent(QResizeEvent* event)
{
    m_keeper->resized(event, [&] { QTextEdit::resizeEvent(event); });
}

void SourceTextEdit::showEvent(QShowEvent* event)
{
    QTextEdit::showEvent(event);
    m_keeper->shown();
}

bool SourceTextEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText();
}

void SourceTextEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    textCursor().insertText(SourceDocumentText::fromInput(source->text()));
    ensureCursorVisible();
}

QMimeData* SourceTextEdit::createMimeDataFromSelection() const
{
    if (!selectionText)
        return QTextEdit::createMimeDataFromSelection();
    auto* data = new QMimeData;
    data->setText(selectionText());
    return data;
}

void SourceTextEdit::centerCursor()
{
    // The caret's paragraph and its neighbours are laid out first: the range must hold the
    // position asked for.
    cursorRect();
    m_layout->reportNow();
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + cursorRect().center().y() - viewport()->height() / 2);
}

bool SourceTextEdit::revealPosition(int position)
{
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursorRect(cursor);
    m_layout->reportNow();
    const QRect line = cursorRect(cursor);
    const int height = viewport()->height();
    if (line.top() >= 0 && line.bottom() + line.height() < height)
        return false;
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + line.top() - height / 3);
    return bar->value() != before;
}

} // namespace quillon
