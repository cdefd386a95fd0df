#include "editor/block/MarkdownTextView.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/ProjectedDocument.h"
#include "editor/document/HeldInput.h"
#include "editor/document/HistoryMenu.h"
#include "editor/layout/LazyLayoutKeeper.h"
#include "ui/SteadyScrollBar.h"

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
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
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
    m_keeper = new LazyLayoutKeeper(*this, *m_layout);
    connect(this, &QTextEdit::selectionChanged, this, &MarkdownTextView::repaintSelection);
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

void MarkdownTextView::resizeEvent(QResizeEvent* event)
{
    m_keeper->resized(event, [&] { QTextEdit::resizeEvent(event); });
}

void MarkdownTextView::settleWhenIdle()
{
    m_keeper->settleWhenIdle();
}

void MarkdownTextView::showEvent(QShowEvent* event)
{
    QTextEdit::showEvent(event);
    m_keeper->shown();
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
            const int lineEnd = line.textStart() + line.textLength();
            const int start = qMax(from - block.position(), line.textStart());
            const int end = qMin(to - block.position(), lineEnd);
            // A range marks the lines its characters are on: the line break at its end (or a
            // wrap) reaches the next line's start, which holds none of them. An empty line the
            // range runs over is marked, as is an empty range.
            const bool lastLine = i == text->lineCount() - 1;
            const bool holdsSome = start < end || from == to
                || (lastLine && start == lineEnd && to - block.position() > lineEnd);
            if (start > end || !holdsSome)
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
    const LazyLayoutKeeper::Painting painting(*m_keeper, event->rect());
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
    keepDragSourceText(*event, *this);
    inputHandled();
}

void MarkdownTextView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu(event->pos());
    routeHistoryActions(
        *menu, this, { canUndo, canRedo, onUndo, onRedo }, [this] { inputHandled(); });
    menu->exec(event->globalPos());
    delete menu;
    inputHandled();
}

void MarkdownTextView::inputHandled()
{
    m_keeper->inputHandled();
    if (onInputHandled)
        onInputHandled();
}

} // namespace quillon
