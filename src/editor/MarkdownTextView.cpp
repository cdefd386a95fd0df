#include "editor/MarkdownTextView.h"

#include "editor/BlockDocumentLayout.h"
#include "editor/FlagScope.h"
#include "editor/ProjectedDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

namespace quillon {

MarkdownTextView::MarkdownTextView(QWidget* parent)
    : QTextEdit(parent)
{
    m_layout = new BlockDocumentLayout(document());
    document()->setDocumentLayout(m_layout);
    // Text is shaped for the screen it is shown on, as the view's own layout would.
    m_layout->setPaintDevice(viewport());
    setAcceptRichText(false);
    setTabChangesFocus(false);
    setCursorWidth(0);
    connect(this, &QTextEdit::cursorPositionChanged, this, &MarkdownTextView::restartCaretBlink);
    m_indicatorFade.setDuration(1200);
    m_indicatorFade.setStartValue(1.0);
    m_indicatorFade.setKeyValueAt(0.4, 1.0);
    m_indicatorFade.setEndValue(0.0);
    connect(&m_indicatorFade, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_indicatorOpacity = v.toReal();
        updateFindIndicator();
    });
    connect(&m_indicatorFade, &QVariantAnimation::finished, this, [this] {
        updateFindIndicator();
        m_indicatorRects.clear();
    });
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &MarkdownTextView::settleStep);
    // Settling starts once the document has stopped changing (styling after a load comes in
    // steps of its own), so that it does not lay out what is about to be restyled.
    connect(m_layout, &BlockDocumentLayout::estimatesLeft, this,
        [this] { m_settleTimer.start(kSettleDelay); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_keepingTopLine || m_painting)
            return;
        // What is about to be shown, and a screen above it, gets its real heights now: found
        // while painting, they would move the text being painted.
        // The new position is what the user asked for, so nothing is shifted for them.
        FlagScope arranging(m_arranging);
        const int top = verticalScrollBar()->value();
        const int height = viewport()->height();
        m_layout->layoutArea(QRectF(0, top - height, 1, 2 * height));
        m_arranging = false;
        noteTopLine();
    });
    connect(this, &QTextEdit::selectionChanged, this, &MarkdownTextView::repaintSelection);
    connect(
        m_layout, &BlockDocumentLayout::heightChanged, this, [this](qreal oldBottom, qreal delta) {
            if (!m_arranging && oldBottom <= verticalScrollBar()->value() + 0.5)
                shiftBy(delta);
        });
}

void MarkdownTextView::repaintSelection()
{
    const QTextCursor cursor = textCursor();
    QPair<int, int> now { -1, -1 };
    if (cursor.hasSelection())
        now = { document()->findBlock(cursor.selectionStart()).blockNumber(),
            document()->findBlock(cursor.selectionEnd()).blockNumber() };
    const int scroll = verticalScrollBar()->value();
    for (const auto& [first, last] : { m_paintedSelection, now }) {
        if (first < 0)
            continue;
        const qreal top = m_layout->blockTop(first) - scroll;
        const qreal bottom = m_layout->blockBottom(last) - scroll;
        viewport()->update(
            QRectF(0, top - 2, viewport()->width(), bottom - top + 4).toAlignedRect());
    }
    m_paintedSelection = now;
}

void MarkdownTextView::shiftBy(qreal delta)
{
    m_pendingShift += delta;
    if (m_painting) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                shiftBy(0);
                viewport()->update();
            },
            Qt::QueuedConnection);
        return;
    }
    const int whole = qRound(m_pendingShift);
    if (whole == 0)
        return;
    m_pendingShift -= whole;
    QScrollBar* bar = verticalScrollBar();
    if (bar->value() + whole > bar->maximum())
        m_layout->reportNow(); // the scroll range must already hold the new position
    FlagScope keeping(m_keepingTopLine);
    bar->setValue(bar->value() + whole);
}

void MarkdownTextView::noteTopLine()
{
    // While the width changes, the layout's lines are not yet the view's.
    if (m_keepingTopLine || document()->pageSize().width() != viewport()->width())
        return;
    const int top = verticalScrollBar()->value();
    const QTextBlock block = document()->findBlockByNumber(m_layout->blockAt(top));
    if (!block.isValid())
        return;
    const QTextLayout* text = m_layout->placedLayout(block);
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

void MarkdownTextView::restoreTopLine()
{
    if (m_topLine.position < 0)
        return;
    const QTextBlock block = document()->findBlock(m_topLine.position);
    if (!block.isValid())
        return;
    m_layout->blockBoundingRect(block);
    const QTextLayout* text = block.layout();
    const QTextLine line = text->lineForTextPosition(m_topLine.position - block.position());
    if (!line.isValid())
        return;
    verticalScrollBar()->setValue(qRound(text->position().y() + line.y() + m_topLine.offset));
}

void MarkdownTextView::resizeEvent(QResizeEvent* event)
{
    const bool widthChanged = event->oldSize().width() != event->size().width();
    {
        FlagScope keeping(m_keepingTopLine);
        QTextEdit::resizeEvent(event);
        if (widthChanged)
            restoreTopLine();
    }
    noteTopLine();
}

void MarkdownTextView::settleStep()
{
    // A view out of sight settles once it is shown again.
    if (!isVisible())
        return;
    if (settlingWaits && settlingWaits()) {
        m_settleTimer.start(kSettleDelay);
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int topBlock = m_layout->blockAt(bar->value());
    const qreal before = m_layout->blockTop(topBlock);
    const bool more = m_layout->settle(kSettleBudgetMs);
    shiftBy(m_layout->blockTop(topBlock) - before);
    // The scroll range follows about once a second rather than after every step.
    if (!more || !m_settleReported.isValid() || m_settleReported.elapsed() >= 1000) {
        m_layout->reportNow();
        m_settleReported.start();
    }
    if (more)
        m_settleTimer.start(0);
}

void MarkdownTextView::settleWhenIdle()
{
    if (!m_layout->hasEstimates())
        return;
    const qint64 idle = m_lastInput.isValid() ? m_lastInput.elapsed() : kSettleDelay;
    m_settleTimer.start(int(qMax<qint64>(0, kSettleDelay - idle)));
}

void MarkdownTextView::showEvent(QShowEvent* event)
{
    QTextEdit::showEvent(event);
    if (m_layout->hasEstimates() && !m_settleTimer.isActive())
        m_settleTimer.start(kSettleDelay);
}

QRect MarkdownTextView::caretRect() const
{
    const QRect line = cursorRect();
    return QRect(line.left(), line.top(), 1, line.height());
}

void MarkdownTextView::restartCaretBlink()
{
    viewport()->update(caretRect().adjusted(-4, -4, 4, 4));
    m_caretOn = hasFocus();
    const int flashTime = QApplication::cursorFlashTime();
    if (m_caretOn && flashTime > 0)
        m_caretBlink.start(flashTime / 2, this);
    else
        m_caretBlink.stop();
}

void MarkdownTextView::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    restartCaretBlink();
}

void MarkdownTextView::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    restartCaretBlink();
}

void MarkdownTextView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_caretBlink.timerId()) {
        QTextEdit::timerEvent(event);
        return;
    }
    m_caretOn = !m_caretOn && hasFocus();
    viewport()->update(caretRect());
}

void MarkdownTextView::showFindIndicator(int from, int to, const QColor& color)
{
    updateFindIndicator();
    m_indicatorRects.clear();
    m_indicatorColor = color;
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        layout->blockBoundingRect(block); // lays the paragraph out
        const QTextLayout* text = block.layout();
        const QPointF origin = text->position();
        for (int i = 0; i < text->lineCount(); ++i) {
            const QTextLine line = text->lineAt(i);
            const int start = qMax(from - block.position(), line.textStart());
            const int end = qMin(to - block.position(), line.textStart() + line.textLength());
            if (start > end)
                continue;
            const qreal x1 = line.cursorToX(start);
            const qreal x2 = line.cursorToX(end);
            const QRectF rect(origin.x() + qMin(x1, x2), origin.y() + line.y(),
                qMax<qreal>(qAbs(x2 - x1), 6), line.height());
            m_indicatorRects.append(rect.adjusted(-3, -1, 3, 1));
        }
    }
    m_indicatorOpacity = 1;
    m_indicatorFade.stop();
    m_indicatorFade.start();
    updateFindIndicator();
}

void MarkdownTextView::updateFindIndicator()
{
    const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    for (const QRectF& rect : std::as_const(m_indicatorRects))
        viewport()->update(rect.translated(-offset).toAlignedRect().adjusted(-2, -2, 2, 2));
}

void MarkdownTextView::keyPressEvent(QKeyEvent* event)
{
    if (event->text().contains(ProjectedDocument::kCarriageReturnStandIn)) {
        QString text = event->text();
        text.remove(ProjectedDocument::kCarriageReturnStandIn);
        if (text.isEmpty()) {
            event->accept();
            return;
        }
        QKeyEvent kept(event->type(), event->key(), event->modifiers(), text, event->isAutoRepeat(),
            event->count());
        keyPressEvent(&kept);
        return;
    }
    if (!handleKey(event))
        QTextEdit::keyPressEvent(event);
    restartCaretBlink();
    inputHandled();
}

bool MarkdownTextView::handleKey(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Undo)) {
        if (onUndo)
            onUndo();
        return true;
    }
    if (event->matches(QKeySequence::Redo)) {
        if (onRedo)
            onRedo();
        return true;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier && onToggleInlineStyle) {
        if (event->key() == Qt::Key_B) {
            onToggleInlineStyle(MarkdownLineEditing::InlineStyle::Bold);
            return true;
        }
        if (event->key() == Qt::Key_I) {
            onToggleInlineStyle(MarkdownLineEditing::InlineStyle::Italic);
            return true;
        }
    }
    if (isReadOnly())
        return false;
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && (modifiers & Qt::ShiftModifier)) {
        // A plain line break, never the rules' continuation (and never a U+2028 separator).
        insertLineBreak();
        return true;
    }
    if (!onEditingKey)
        return false;
    if (enter && modifiers == Qt::NoModifier) {
        // The text control's own Enter on an empty paragraph that has a format of its own only
        // resets that format (ending a rich-text list) and inserts nothing. Every paragraph
        // here carries its styling's format, so that Enter would be lost every other time.
        if (!onEditingKey(EditingKey::Return))
            insertLineBreak();
        return true;
    }
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier)
        return onEditingKey(EditingKey::Backspace);
    if (key == Qt::Key_Tab && modifiers == Qt::NoModifier)
        return onEditingKey(EditingKey::Tab);
    if (key == Qt::Key_Backtab) {
        // Outside fenced code Shift+Tab changes nothing, and it stays here: passed on, it would
        // move the focus to the widget before the view, and the next keys would go there.
        const bool handled = onEditingKey(EditingKey::Backtab);
        return handled || (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier;
    }
    return false;
}

void MarkdownTextView::insertLineBreak()
{
    textCursor().insertText(QStringLiteral("\n"));
    ensureCursorVisible();
}

void MarkdownTextView::inputMethodEvent(QInputMethodEvent* event)
{
    if (event->commitString().contains(ProjectedDocument::kCarriageReturnStandIn)) {
        QString text = event->commitString();
        text.remove(ProjectedDocument::kCarriageReturnStandIn);
        QInputMethodEvent kept(event->preeditString(), event->attributes());
        kept.setCommitString(text, event->replacementStart(), event->replacementLength());
        QTextEdit::inputMethodEvent(&kept);
        inputHandled();
        return;
    }
    QTextEdit::inputMethodEvent(event);
    inputHandled();
}

void MarkdownTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onClickTable
        && onClickTable(event->position().toPoint())) {
        event->accept();
        inputHandled();
        return;
    }
    if (onClickOutsideTable)
        onClickOutsideTable();
    QTextEdit::mousePressEvent(event);
    inputHandled();
}

void MarkdownTextView::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    inputHandled();
}

void MarkdownTextView::paintEvent(QPaintEvent* event)
{
    FlagScope painting(m_painting);
    const BlockDocumentLayout::PaintScope layoutPainting(*m_layout);
    {
        // Every paragraph in the exposed area gets its final height before anything is drawn.
        const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
        m_layout->layoutArea(QRectF(event->rect()).translated(offset));
        noteTopLine();
    }
    if (paintUnderText) {
        QPainter painter(viewport());
        const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
        painter.translate(-offset);
        painter.setRenderHint(QPainter::Antialiasing);
        paintUnderText(painter, QRectF(event->rect()).translated(offset));
    }
    QTextEdit::paintEvent(event);
    QPainter painter(viewport());
    if (m_caretOn && hasFocus() && !isReadOnly())
        painter.fillRect(caretRect(), palette().color(QPalette::Text));
    if (!m_indicatorRects.isEmpty() && m_indicatorOpacity > 0) {
        const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
        painter.translate(-offset);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = m_indicatorColor;
        fill.setAlphaF(float(fill.alphaF() * 0.5 * m_indicatorOpacity));
        QColor edge = m_indicatorColor;
        edge.setAlphaF(float(edge.alphaF() * m_indicatorOpacity));
        painter.setPen(QPen(edge, 1.5));
        painter.setBrush(fill);
        for (const QRectF& rect : std::as_const(m_indicatorRects))
            painter.drawRoundedRect(rect, 4, 4);
    }
}

bool MarkdownTextView::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText();
}

void MarkdownTextView::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    // Line breaks as the document's text has them: other programs' CR LF pairs and separators
    // become line feeds; a lone carriage return stays one.
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.remove(ProjectedDocument::kCarriageReturnStandIn);
    textCursor().insertText(ProjectedDocument::toDocumentText(text));
    ensureCursorVisible();
}

QMimeData* MarkdownTextView::createMimeDataFromSelection() const
{
    auto* data = new QMimeData;
    const QTextCursor cursor = textCursor();
    if (markdownForRange)
        data->setText(markdownForRange(cursor.selectionStart(), cursor.selectionEnd()));
    else
        data->setText(cursor.selection().toRawText());
    return data;
}

void MarkdownTextView::dropEvent(QDropEvent* event)
{
    QTextEdit::dropEvent(event);
    inputHandled();
}

void MarkdownTextView::contextMenuEvent(QContextMenuEvent* event)
{
    // The document keeps no history of its own; undo and redo are the editor's.
    QMenu* menu = createStandardContextMenu(event->pos());
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        const QString text = action->text();
        if (text.startsWith(QLatin1String("&Undo")) && onUndo) {
            action->setEnabled(true);
            connect(action, &QAction::triggered, this, [this] {
                onUndo();
                inputHandled();
            });
        } else if (text.startsWith(QLatin1String("&Redo")) && onRedo) {
            action->setEnabled(true);
            connect(action, &QAction::triggered, this, [this] {
                onRedo();
                inputHandled();
            });
        }
    }
    menu->exec(event->globalPos());
    delete menu;
    inputHandled();
}

void MarkdownTextView::inputHandled()
{
    // Settling waits until the user pauses.
    m_lastInput.start();
    if (m_settleTimer.isActive())
        m_settleTimer.start(kSettleDelay);
    if (onInputHandled)
        onInputHandled();
}

} // namespace quillon
