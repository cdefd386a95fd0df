#include "editor/block/EditorView.h"

#include "editor/block/DecorationPainter.h"
#include "editor/block/MarkdownTextView.h"
#include "editor/document/FlagScope.h"
#include "editor/source/SourceDocumentText.h"
#include "markdown/MarkdownHighlighter.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextFrame>
#include <QVBoxLayout>

namespace quillon {

EditorView::EditorView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new MarkdownTextView(this);
    m_view->setObjectName(QStringLiteral("editorViewText"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->document()->setDocumentMargin(0);
    m_view->paintUnderText = [this](QPainter& painter, const QRectF& rect) {
        const QTextFrameFormat frame = m_view->document()->rootFrame()->frameFormat();
        DecorationPainter::Options options;
        options.isDarkMode = m_isDarkMode;
        options.fontSize = m_fontSize;
        options.columnLeft = frame.leftMargin();
        options.columnWidth
            = m_view->viewport()->width() - frame.leftMargin() - frame.rightMargin();
        DecorationPainter::paint(painter, *m_view->document(), rect, options);
    };
    layout->addWidget(m_view);
    installEventFilter(this);
    m_view->document()->setUndoRedoEnabled(false);
    m_view->onUndo = [this] { undo(); };
    m_view->onRedo = [this] { redo(); };
    connect(m_view, &QTextEdit::textChanged, this, &EditorView::onTextChanged);
    // The document reports a change before it moves the caret: the caret is still where the
    // user made the change.
    connect(m_view->document(), &QTextDocument::contentsChange, this, [this] {
        if (m_isUpdating)
            return;
        m_caretBeforeEdit = m_caret;
        m_editSinceCaretMove = true;
    });
    connect(m_view, &QTextEdit::cursorPositionChanged, this, &EditorView::onCursorPositionChanged);
    setDarkMode(false);
    setFontSize(m_fontSize);
    updateInsets();
}

void EditorView::setText(const QString& text)
{
    if (m_isUpdating || text == m_storage.text())
        return;
    FlagScope updating(m_isUpdating);
    const int scroll = m_view->verticalScrollBar()->value();
    const bool focused = m_view->hasFocus();
    const qsizetype caret = m_view->textCursor().position();
    m_storage.setText(text);
    // Loading a text is no undo step: a fresh history starts.
    m_undo.clear();
    m_view->document()->setPlainText(SourceDocumentText::toDocument(text));
    const qsizetype at = qMin<qsizetype>(text.size(), caret);
    restyle(focused ? at : -1, focused);
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(at));
    m_view->setTextCursor(cursor);
    m_caret = int(at);
    m_view->verticalScrollBar()->setValue(scroll);
}

void EditorView::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Text, MarkdownHighlighter::palette(dark).textColor);
    m_view->setPalette(palette);
    m_presenter.clearCache();
    restyleIfNeeded();
}

void EditorView::setFontSize(qreal size)
{
    m_fontSize = size;
    m_presenter.clearCache();
    m_view->document()->setDefaultFont(MarkdownHighlighter::systemFont(size));
    restyleIfNeeded();
}

void EditorView::setReadingMode(bool on)
{
    m_isReadingMode = on;
    restyleIfNeeded();
}

void EditorView::restyleIfNeeded()
{
    if (m_isUpdating
        || !MarkdownTextViewSupport::needsHighlight(
            m_storage.text(), m_isDarkMode, m_fontSize, m_isReadingMode, m_lastHighlight))
        return;
    FlagScope updating(m_isUpdating);
    const bool focused = m_view->hasFocus();
    restyle(focused ? m_view->textCursor().position() : -1, focused);
}

void EditorView::onTextChanged()
{
    if (m_isUpdating)
        return;
    FlagScope updating(m_isUpdating);
    const QString text = SourceDocumentText::fromDocument(m_view->document()->toRawText());
    if (text == m_storage.text())
        return;
    MarkdownReplacement change = MarkdownReplacement::between(m_storage.text(), text);
    change.caretBefore = m_caretBeforeEdit;
    m_undo.record(change, MarkdownUndoStack::Kind::Typing);
    m_storage.setText(text);
    Q_EMIT textEdited(text);
    // As typed: the markers beside the caret are not revealed by an edit.
    restyle(m_view->textCursor().position(), false);
}

void EditorView::onCursorPositionChanged()
{
    m_caret = m_view->textCursor().position();
    if (m_isUpdating)
        return;
    // Typing somewhere else starts a new step.
    if (!m_editSinceCaretMove)
        m_undo.breakTypingRun();
    m_editSinceCaretMove = false;
}

void EditorView::undo()
{
    if (m_view->isReadOnly())
        return;
    if (auto step = m_undo.takeUndo())
        applyStep(*step);
}

void EditorView::redo()
{
    if (m_view->isReadOnly())
        return;
    if (auto step = m_undo.takeRedo())
        applyStep(*step);
}

void EditorView::applyStep(const MarkdownReplacement& step)
{
    QString text = m_storage.text();
    // A history that no longer fits the text is of no use.
    if (!step.applyTo(text)) {
        m_undo.clear();
        return;
    }
    {
        FlagScope updating(m_isUpdating);
        QTextCursor cursor(m_view->document());
        cursor.setPosition(step.position);
        cursor.setPosition(int(step.position + step.removed.size()), QTextCursor::KeepAnchor);
        cursor.insertText(SourceDocumentText::toDocument(step.inserted));
        m_storage.setText(text);
        cursor.setPosition(qMin(step.caretAfter, int(text.size())));
        m_view->setTextCursor(cursor);
        restyle(m_view->textCursor().position(), false);
    }
    m_view->ensureCursorVisible();
    Q_EMIT textEdited(text);
}

void EditorView::restyle(qsizetype cursorLocation, bool focused)
{
    HighlightOptions options;
    options.isDarkMode = m_isDarkMode;
    options.fontSize = m_fontSize;
    options.isReadingMode = m_isReadingMode;
    options.cursorLocation = cursorLocation;
    options.isFocused = focused;
    MarkdownHighlighter::highlight(m_storage, options);
    m_presenter.present(m_storage, *m_view->document(), m_fontSize);
    m_lastHighlight = { m_storage.text(), m_isDarkMode, m_fontSize, m_isReadingMode };
}

bool EditorView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::Resize)
        updateInsets();
    return QWidget::eventFilter(watched, event);
}

void EditorView::updateInsets()
{
    const qreal inset = horizontalInset(width());
    QTextFrame* root = m_view->document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    if (format.leftMargin() == inset && format.rightMargin() == inset
        && format.topMargin() == kVerticalInset && format.bottomMargin() == kVerticalInset)
        return;
    FlagScope updating(m_isUpdating);
    format.setLeftMargin(inset);
    format.setRightMargin(inset);
    format.setTopMargin(kVerticalInset);
    format.setBottomMargin(kVerticalInset);
    root->setFrameFormat(format);
}

} // namespace quillon
