#include "editor/MarkdownTextView.h"

#include "editor/ProjectedDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocumentFragment>

namespace quillon {

MarkdownTextView::MarkdownTextView(QWidget* parent)
    : QTextEdit(parent)
{
    setAcceptRichText(false);
    setTabChangesFocus(false);
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
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (modifiers & Qt::ShiftModifier)) {
        // A plain line break, never the rules' continuation (and never a U+2028 separator).
        textCursor().insertText(QStringLiteral("\n"));
        ensureCursorVisible();
        return true;
    }
    if (!onEditingKey)
        return false;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier)
        return onEditingKey(EditingKey::Return);
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier)
        return onEditingKey(EditingKey::Backspace);
    if (key == Qt::Key_Tab && modifiers == Qt::NoModifier)
        return onEditingKey(EditingKey::Tab);
    if (key == Qt::Key_Backtab)
        return onEditingKey(EditingKey::Backtab);
    return false;
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
    if (paintUnderText) {
        QPainter painter(viewport());
        const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
        painter.translate(-offset);
        painter.setRenderHint(QPainter::Antialiasing);
        paintUnderText(painter, QRectF(event->rect()).translated(offset));
    }
    QTextEdit::paintEvent(event);
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
    if (onInputHandled)
        onInputHandled();
}

} // namespace quillon
