#include "editor/CodeEditorView.h"

#include "editor/ChromeColors.h"
#include "editor/FlagScope.h"
#include "editor/SourceColouring.h"
#include "editor/SourceDocumentText.h"
#include "editor/SourceFindController.h"
#include "markdown/CodeSyntaxHighlighter.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "platform/CommandBus.h"
#include "workspace/DocumentSession.h"
#include "workspace/WorkspaceState.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

namespace quillon {

namespace {

constexpr qreal kTextInset = 20;

// The lengths of the longest common start and (not overlapping it) end of two texts.
std::pair<qsizetype, qsizetype> commonEnds(QStringView a, QStringView b)
{
    const qsizetype shorter = qMin(a.size(), b.size());
    qsizetype prefix = 0;
    while (prefix < shorter && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    return { prefix, suffix };
}

} // namespace

SourceTextEdit::SourceTextEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(false);
}

void SourceTextEdit::keyPressEvent(QKeyEvent* event)
{
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
        QPlainTextEdit::keyPressEvent(&kept);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void SourceTextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString committed = event->commitString();
    if (std::any_of(committed.begin(), committed.end(), SourceDocumentText::isStandIn)) {
        QString text = committed;
        text.removeIf(SourceDocumentText::isStandIn);
        QInputMethodEvent kept(event->preeditString(), event->attributes());
        kept.setCommitString(text, event->replacementStart(), event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&kept);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
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

CodeEditorView::CodeEditorView(WorkspaceState& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_fontSize(workspace.editorFontSize())
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new SourceTextEdit(this);
    m_view->setObjectName(QStringLiteral("sourceTextView"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(m_view);
    QTextDocument* document = m_view->document();
    document->setDocumentMargin(kTextInset);

    auto currentText = [this]() -> const QString& { return m_text; };
    m_colouring = std::make_unique<SourceColouring>(*m_view, currentText);
    m_find = std::make_unique<SourceFindController>(*m_view, workspace, currentText);

    connect(document, &QTextDocument::contentsChange, this, &CodeEditorView::onContentsChange);
    // Another pane's edits arrive as ranges and are applied where they land; a replaced text is
    // compared with the shown one.
    DocumentSession& session = workspace.documentSession();
    connect(&session, &DocumentSession::textEdited, this, &CodeEditorView::followEdit);
    connect(&session, &DocumentSession::textReplaced, this, &CodeEditorView::onTextReplaced);
    connect(&workspace, &WorkspaceState::activeTabURLChanged, this, [this] {
        m_pendingLine = 0; // a line of the document shown before
        onActiveTabChanged();
    });
    connect(
        &workspace, &WorkspaceState::documentErrorChanged, this, &CodeEditorView::updateReadOnly);
    connect(&workspace, &WorkspaceState::editorFontSizeChanged, this,
        [this] { setFontSize(m_workspace.editorFontSize()); });
    connect(&CommandBus::shared(), &CommandBus::scrollToLine, this, &CodeEditorView::scrollToLine);

    applyAppearance();
    m_colouring->setAppearance(m_isDarkMode, m_fontSize);
    replaceFromOutside(workspace.currentFileContent());
}

CodeEditorView::~CodeEditorView()
{
    disconnect(m_view->document(), nullptr, this, nullptr);
}

void CodeEditorView::setDarkMode(bool dark)
{
    const bool changed = dark != m_isDarkMode;
    m_isDarkMode = dark;
    applyAppearance();
    if (!changed)
        return;
    m_colouring->setAppearance(m_isDarkMode, m_fontSize);
    m_colouring->colourAll(m_text);
    m_find->setDarkMode(dark);
}

void CodeEditorView::setFontSize(qreal size)
{
    if (size == m_fontSize)
        return;
    m_fontSize = size;
    m_colouring->setAppearance(m_isDarkMode, m_fontSize);
    // The colours do not depend on the size; only the font changes.
    applyAppearance();
}

void CodeEditorView::applyAppearance()
{
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Text, CodeSyntaxHighlighter::textColor(m_isDarkMode));
    palette.setColor(QPalette::Base, ChromeColors::editorBackground(m_isDarkMode));
    m_view->setPalette(palette);
    const QFont font = CodeSyntaxHighlighter::sourceFont(m_fontSize);
    if (m_view->font() != font)
        m_view->setFont(font);
}

void CodeEditorView::onTextReplaced()
{
    if (m_isApplyingEdit)
        return;
    // A hidden pane catches up when it is shown: typing in the block editor alone costs nothing
    // here.
    if (!isVisible()) {
        m_isStale = true;
        return;
    }
    const QString text = m_workspace.currentFileContent();
    if (text != m_text)
        replaceFromOutside(text);
}

void CodeEditorView::followEdit(const TextEdit& edit)
{
    if (m_isApplyingEdit)
        return; // our own edit coming back
    if (!isVisible()) {
        m_isStale = true;
        return;
    }
    const qsizetype removedEnd = edit.position + edit.removedLength;
    if (m_isStale || edit.position < 0 || edit.removedLength < 0 || removedEnd > m_text.size()
        || m_text.size() - edit.removedLength + edit.inserted.size() != edit.resultLength) {
        onTextReplaced();
        return;
    }
    applyOutsideEdit(edit.position, edit.removedLength, edit.inserted);
}

void CodeEditorView::onActiveTabChanged()
{
    if (!isVisible()) {
        m_isStale = true;
        return;
    }
    // Another document may hold the very same text; the history still belongs to the old one.
    const QString text = m_workspace.currentFileContent();
    if (text != m_text)
        replaceFromOutside(text);
    m_view->document()->clearUndoRedoStacks();
    updateReadOnly();
}

void CodeEditorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_isStale) {
        m_isStale = false;
        onActiveTabChanged();
    }
    m_find->refresh();
    if (m_pendingLine > 0)
        scrollToLine(m_pendingLine);
}

void CodeEditorView::replaceFromOutside(const QString& text)
{
    const auto [prefix, suffix] = commonEnds(m_text, text);
    const qsizetype removed = m_text.size() - prefix - suffix;
    const qsizetype added = text.size() - prefix - suffix;
    if (!m_text.isEmpty() && removed + added <= (m_text.size() + text.size()) / 2) {
        applyOutsideEdit(prefix, removed, text.mid(prefix, added));
        return;
    }
    FlagScope programmatic(m_isProgrammatic);
    QTextDocument* document = m_view->document();
    const int anchor = m_view->textCursor().anchor();
    const int position = m_view->textCursor().position();
    const int scroll = m_view->verticalScrollBar()->value();
    // setPlainText() lets the view lay the new text out lazily, screen by screen.
    document->setPlainText(SourceDocumentText::toDocument(text));
    m_text = text;
    m_hasStandIn = !SourceDocumentText::isRepresentable(m_text);
    m_colouring->colourAll(m_text);
    m_find->refresh();
    restoreView(anchor, position, scroll);
}

void CodeEditorView::applyOutsideEdit(
    qsizetype position, qsizetype removed, const QString& inserted)
{
    FlagScope programmatic(m_isProgrammatic);
    // The view's own cursor moves with the text around the edit.
    const QTextCursor before = m_view->textCursor();
    const int scroll = m_view->verticalScrollBar()->value();
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(position));
    cursor.setPosition(int(position + removed), QTextCursor::KeepAnchor);
    cursor.insertText(SourceDocumentText::toDocument(inserted));
    m_text.replace(position, removed, inserted);
    // Only the new text can bring a stand-in in; only an edit can take the last one out.
    m_hasStandIn = m_hasStandIn ? !SourceDocumentText::isRepresentable(m_text)
                                : !SourceDocumentText::isRepresentable(inserted);
    m_colouring->colourEdit(m_text, position, removed, inserted.size());
    m_find->followEdit(position, removed, inserted.size());
    restoreView(before.anchor(), before.position(), scroll);
}

void CodeEditorView::restoreView(int anchor, int position, int scroll)
{
    QTextDocument* document = m_view->document();
    document->clearUndoRedoStacks();
    const int length = int(m_text.size());
    QTextCursor after(document);
    after.setPosition(qMin(anchor, length));
    after.setPosition(qMin(position, length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(after);
    m_view->verticalScrollBar()->setValue(scroll);
    updateReadOnly();
}

void CodeEditorView::onContentsChange(int position, int removed, int added)
{
    if (m_isProgrammatic)
        return;
    QTextDocument* document = m_view->document();
    // The document counts the last paragraph's end in changes that reach it; the text has no
    // such character.
    const int documentLength = document->characterCount() - 1;
    added = qMin(added, documentLength - position);
    removed = int(qMin<qsizetype>(removed, m_text.size() - position));
    QString inserted;
    if (added >= 0 && removed >= 0) {
        QTextCursor cursor(document);
        cursor.setPosition(position);
        cursor.setPosition(position + added, QTextCursor::KeepAnchor);
        inserted = SourceDocumentText::fromDocument(cursor.selectedText());
        m_text.replace(position, removed, inserted);
        m_hasStandIn = m_hasStandIn || !SourceDocumentText::isRepresentable(inserted);
    }
    {
        FlagScope applying(m_isApplyingEdit);
        DocumentSession& session = m_workspace.documentSession();
        if (added < 0 || removed < 0 || m_text.size() != documentLength) {
            m_text = SourceDocumentText::fromDocument(document->toRawText());
            m_hasStandIn = !SourceDocumentText::isRepresentable(m_text);
            session.setUserText(m_text);
            m_colouring->colourAll(m_text);
            m_find->refresh();
            return;
        }
        session.applyUserEdit(position, removed, inserted);
    }
    m_colouring->colourEdit(m_text, position, removed, added);
    m_find->followEdit(position, removed, added);
}

void CodeEditorView::updateReadOnly()
{
    // A document that could not be read is shown, never edited: an edit would be written over
    // the file. So is a text this view could not give back character for character.
    m_view->setReadOnly(!m_workspace.documentError().isEmpty() || m_hasStandIn);
}

void CodeEditorView::scrollToLine(int line)
{
    // A hidden pane may still show the text of the document before the jump: it selects the
    // line once it is shown and has caught up with its document.
    if (!isVisible() || m_isStale) {
        m_pendingLine = line;
        return;
    }
    m_pendingLine = 0;
    const std::optional<TextRange> range = MarkdownTextViewSupport::lineRange(m_text, line);
    if (!range)
        return;
    const int length = m_view->document()->characterCount() - 1;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(qMin(int(range->location), length));
    cursor.setPosition(qMin(int(range->end()), length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
    m_view->centerCursor();
}

void CodeEditorView::flushPendingWork()
{
    m_colouring->flush();
}

bool CodeEditorView::colouringIsPending() const
{
    return m_colouring->hasPendingPass();
}

} // namespace quillon
