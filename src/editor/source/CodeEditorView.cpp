#include "editor/source/CodeEditorView.h"

#include "editor/chrome/ChromeColors.h"
#include "editor/document/AfterFirstPaint.h"
#include "editor/document/DocumentFind.h"
#include "editor/document/EditorFindController.h"
#include "editor/document/FlagScope.h"
#include "editor/source/SourceColouring.h"
#include "editor/source/SourceDocumentLayout.h"
#include "editor/source/SourceDocumentText.h"
#include "markdown/CodeSyntaxHighlighter.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <algorithm>

namespace quillon {

namespace {

constexpr qreal kTextInset = 20;
// A text up to this long (UTF-16 units) is put into the pane at once; a longer one its first
// part at once and the rest in slices of the same size, each a few ten milliseconds of
// QTextDocument's work at most.
constexpr qsizetype kLoadSlice = 128 * 1024;

} // namespace

CodeEditorView::CodeEditorView(Document& document, WorkspaceState& workspace, bool isDarkMode,
    QWidget* parent, DocumentFind* find)
    : QWidget(parent)
    , m_document(document)
    , m_binding(std::make_unique<DocumentBinding>(
          document, workspace, *this, static_cast<BoundPane&>(*this), isDarkMode))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new SourceTextEdit(this);
    m_view->setObjectName(QStringLiteral("sourceTextView"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setLineWrapMode(QTextEdit::WidgetWidth);
    layout->addWidget(m_view);
    QTextDocument* textDocument = m_view->document();
    textDocument->setDocumentMargin(kTextInset);
    // The history is the document's, shared with its other views.
    textDocument->setUndoRedoEnabled(false);
    m_view->onUndo = [this] { undo(); };
    m_view->onRedo = [this] { redo(); };
    m_view->canUndo = [this] { return m_binding->canUndo(); };
    m_view->canRedo = [this] { return m_binding->canRedo(); };
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    m_cursorWidth = m_view->cursorWidth();
    m_view->beforeScroll = [this] { followScroll(); };
    m_view->beforeKey = [this](QKeyEvent& event) { return windowKey(event); };
    // The view holds stand-ins for some characters, and a long line's soft breaks as line feeds.
    m_view->selectionText = [this] {
        const auto [anchor, position] = documentSelection();
        return m_document.text().mid(qMin(anchor, position), qAbs(position - anchor));
    };
    connect(&m_view->sourceLayout(), &SourceDocumentLayout::frameChanged, this, [this] {
        if (!m_window)
            return;
        m_window->estimateAll(estimator());
        m_view->sourceLayout().setOutsideHeights(m_window->heightAbove(), m_window->heightBelow());
    });

    auto currentText = [this]() -> const ChunkedText& { return m_document.text(); };
    // Queued colouring waits while edits of other views, or the text itself, are still to be
    // shown.
    auto isCurrent = [this] { return !m_binding->hasPending() && !isLoading(); };
    m_colouring = std::make_unique<SourceColouring>(*m_view, currentText, isCurrent);
    // Made before the document's signals are connected, so that it hears of a change first.
    if (!find) {
        m_ownFind = std::make_unique<DocumentFind>(document, workspace);
        find = m_ownFind.get();
    }
    FindPane pane;
    // Find reaches the whole text: what is not in the pane yet is put in first.
    pane.showsDocument = [this] {
        finishLoading();
        return !m_binding->hasPending();
    };
    pane.toView = [this](const TextRange& match) {
        if (!m_window)
            return match;
        const int from = toView(match.location);
        return TextRange { from, toView(match.end()) - from };
    };
    pane.toMarkdown = [this](int position) { return windowStart() + position; };
    pane.reveal = [this](const TextRange& range) {
        if (!m_window) {
            m_view->revealPosition(int(range.location));
            return;
        }
        // The match may lie outside the window, which the range in the pane cannot tell.
        const DocumentFind& model = m_find->model();
        const int index = model.revealedIndex();
        if (index < 0 || index >= model.matches().size())
            return;
        const TextRange match = model.matches().at(index);
        coverRange(match.location, match.end());
        m_view->revealPosition(toView(match.location));
    };
    m_find = std::make_unique<EditorFindController>(*m_view, *find, std::move(pane));

    connect(textDocument, &QTextDocument::contentsChange, this, &CodeEditorView::onContentsChange);
    connect(
        m_view, &QTextEdit::cursorPositionChanged, this, &CodeEditorView::onCursorPositionChanged);
    m_binding->start();

    m_shownDark = isDarkMode;
    m_shownFontSize = fontSize();
    applyAppearance();
    m_colouring->setAppearance(isDarkMode, fontSize());
    loadFirstText();
}

CodeEditorView::~CodeEditorView()
{
    disconnect(m_view->document(), nullptr, this, nullptr);
}

QString CodeEditorView::text() const
{
    if (m_window) {
        const ChunkedText& text = m_document.text();
        QString held = SourceDocumentText::fromDocument(m_view->document()->toRawText());
        m_window->joinSoftly(held, m_window->start());
        return text.mid(0, m_window->start()) + held + text.mid(m_window->end());
    }
    return SourceDocumentText::fromDocument(m_view->document()->toRawText());
}

void CodeEditorView::showAppearance()
{
    const bool darkChanged = isDarkMode() != std::exchange(m_shownDark, isDarkMode());
    const bool sizeChanged = fontSize() != std::exchange(m_shownFontSize, fontSize());
    applyAppearance();
    if (!darkChanged && !sizeChanged)
        return;
    m_colouring->setAppearance(isDarkMode(), fontSize());
    // The colours do not depend on the size; only the font changes.
    if (!darkChanged || isLoading())
        return; // coloured once the text is all in
    m_colouring->colourAll(m_document.text());
    m_find->setDarkMode(isDarkMode());
}

void CodeEditorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_binding->shown();
}

const DocumentFind& CodeEditorView::find() const
{
    return m_find->model();
}

void CodeEditorView::setFindActive(bool active)
{
    if (m_ownFind)
        m_ownFind->setActive(active);
    m_find->setActive(active);
}

void CodeEditorView::applyAppearance()
{
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Text, CodeSyntaxHighlighter::textColor(isDarkMode()));
    palette.setColor(QPalette::Base, ChromeColors::editorBackground(isDarkMode()));
    m_view->setPalette(palette);
    const QFont font = CodeSyntaxHighlighter::sourceFont(fontSize());
    if (m_view->font() != font)
        m_view->setFont(font);
}

bool CodeEditorView::eventFilter(QObject* watched, QEvent* event)
{
    m_binding->beforeInput(*event);
    if (m_window)
        windowMouse(*event);
    return QWidget::eventFilter(watched, event);
}

void CodeEditorView::followEdits(const QList<TextEdit>& edits, const ReplacedStretch* outside)
{
    if (m_window && outside) {
        followEditsInWindow(edits, *outside);
        return;
    }
    if (!outside) {
        applyToView(edits);
        return;
    }
    // The edits that lead up to the text the change from outside was made on come first; the
    // caret and the scroll then follow the text they were on through the change.
    if (edits.size() > 1)
        applyToView(edits.first(edits.size() - 1));
    const ScreenTop top = screenTop();
    const int anchor = int(outside->map(m_view->textCursor().anchor()));
    const int position = int(outside->map(m_view->textCursor().position()));
    applyToView({ edits.last() });
    FlagScope programmatic(m_isProgrammatic);
    restoreView(anchor, position, m_view->verticalScrollBar()->value());
    keepScreenTop(*outside, top);
}

CodeEditorView::ScreenTop CodeEditorView::screenTop() const
{
    const QTextCursor first = m_view->cursorForPosition(QPoint(0, 0));
    return { first.position(), m_view->cursorRect(first).top() };
}

void CodeEditorView::keepScreenTop(const ReplacedStretch& stretch, const ScreenTop& top)
{
    if (stretch.position >= top.position)
        return;
    QTextCursor first(m_view->document());
    first.setPosition(int(qMin(stretch.map(top.position), m_document.text().size())));
    QScrollBar* bar = m_view->verticalScrollBar();
    bar->setValue(bar->value() + m_view->cursorRect(first).top() - top.y);
}

void CodeEditorView::showReplaced(const ReplacedStretch& stretch)
{
    m_loading.reset(); // what is shown is replaced whole
    m_windowAfterLoading = false;
    replaceFromOutside(stretch);
}

void CodeEditorView::replaceFromOutside(std::optional<ReplacedStretch> stretch)
{
    if (m_window || !TextWindow::holdsWhole(m_document.text())) {
        startWindow(stretch);
        return;
    }
    FlagScope programmatic(m_isProgrammatic);
    QTextDocument* textDocument = m_view->document();
    int anchor = m_view->textCursor().anchor();
    int position = m_view->textCursor().position();
    const int scroll = m_view->verticalScrollBar()->value();
    // The first place on screen and how far below the top it starts, to keep it there.
    ScreenTop top;
    if (stretch) {
        top = screenTop();
        anchor = int(stretch->map(anchor));
        position = int(stretch->map(position));
    }
    const ChunkedText& text = m_document.text();
    // Piece by piece, in one edit block: the view lays the new text out once, lazily, and no
    // copy of the whole text is made on the way.
    textDocument->clear();
    QTextCursor cursor(textDocument);
    cursor.beginEditBlock();
    m_hasStandIn = false;
    text.forEachPiece(0, text.size(), [&](QStringView piece, qsizetype) {
        m_hasStandIn = m_hasStandIn || !SourceDocumentText::isRepresentable(piece);
        cursor.insertText(SourceDocumentText::toDocument(piece.toString()));
        return true;
    });
    cursor.endEditBlock();
    m_colouring->colourAll(text);
    m_find->refresh();
    restoreView(anchor, position, scroll);
    if (stretch)
        keepScreenTop(*stretch, top);
}

void CodeEditorView::loadFirstText()
{
    if (!TextWindow::holdsWhole(m_document.text())) {
        const qsizetype first
            = TextWindow::firstScreenEnd(m_document.text(), TextWindow::Pane::Source, false);
        if (first < 0) {
            startWindow(std::nullopt);
            return;
        }
        // The first screen goes in as the beginning of a text going in slice by slice; the
        // window takes its place once it is painted, or before any input.
        m_loading = m_document.text();
        m_loaded = 0;
        m_hasStandIn = false;
        m_windowAfterLoading = true;
        loadSlice(first);
        m_colouring->colourAll(ChunkedText(m_loading->mid(0, m_loaded)));
        m_foundLines = FoundLines { QtConcurrent::run([text = m_document.text()] {
                                       TextWindow lines;
                                       lines.findLines(text);
                                       return std::pair { std::move(lines), hasStandIn(text) };
                                   }),
            m_document.version() };
        // Waiting for the lines would stop the window: input that comes first waits for them.
        m_afterFirstPaint = std::make_unique<AfterFirstPaint>(
            *m_view->viewport(), 250,
            [this] { return !m_foundLines || m_foundLines->lines.isFinished(); },
            [this] {
                if (m_windowAfterLoading)
                    finishLoading();
            });
        return;
    }
    if (m_document.text().size() <= kLoadSlice) {
        replaceFromOutside();
        return;
    }
    // A copy shares the text's pieces; the edits the document takes meanwhile are made to it
    // as well (followWhileLoading), so that it stays the document's text.
    m_loading = m_document.text();
    m_loaded = 0;
    m_hasStandIn = false;
    loadSlice(kLoadSlice);
    // The first screen is shown coloured; the whole text is coloured once it is all in.
    if (isLoading())
        m_colouring->colourAll(ChunkedText(m_loading->mid(0, m_loaded)));
}

void CodeEditorView::loadSlice(qsizetype length)
{
    const ChunkedText& text = *m_loading;
    // Cut after a line break, so that no paragraph is put in twice.
    qsizetype end
        = m_loaded + length >= text.size() ? -1 : text.indexOf(QChar(u'\n'), m_loaded + length);
    end = end < 0 ? text.size() : end + 1;
    {
        FlagScope programmatic(m_isProgrammatic);
        // The caret would move along with text put in where it stands (the end).
        const QTextCursor caret = m_view->textCursor();
        const int anchor = caret.anchor();
        const int position = caret.position();
        const int scroll = m_view->verticalScrollBar()->value();
        // One change per slice, laid out lazily like the rest; inside the edit block the cursor
        // does not lay its paragraph out to know its place.
        QTextCursor cursor(m_view->document());
        cursor.beginEditBlock();
        cursor.movePosition(QTextCursor::End);
        text.forEachPiece(m_loaded, end, [&](QStringView piece, qsizetype) {
            m_hasStandIn = m_hasStandIn || !SourceDocumentText::isRepresentable(piece);
            cursor.insertText(SourceDocumentText::toDocument(piece.toString()));
            return true;
        });
        cursor.endEditBlock();
        if (m_view->textCursor().anchor() != anchor || m_view->textCursor().position() != position)
            restoreView(anchor, position, scroll);
    }
    m_loaded = end;
    if (m_windowAfterLoading)
        return;
    if (m_loaded < text.size()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isLoading())
                    loadSlice(kLoadSlice);
            },
            Qt::QueuedConnection);
        return;
    }
    const ChunkedText shown = *std::exchange(m_loading, std::nullopt);
    m_colouring->colourAll(shown);
    m_find->refresh();
    updateReadOnly();
}

void CodeEditorView::finishLoading()
{
    if (!isLoading())
        return;
    if (m_windowAfterLoading)
        startWindow(std::nullopt);
    else
        loadSlice(m_loading->size());
}

void CodeEditorView::applyToView(const QList<TextEdit>& edits)
{
    if (m_window) {
        applyToWindow(edits);
        return;
    }
    FlagScope programmatic(m_isProgrammatic);
    // The view's own cursor moves with the text around the edit.
    const QTextCursor before = m_view->textCursor();
    const int scroll = m_view->verticalScrollBar()->value();
    // The stretch all of them changed, for colouring and find: in the old text [from, oldEnd),
    // in the new one [from, newEnd).
    const ReplacedStretch changed = DocumentBinding::stretchOf(edits);
    for (const TextEdit& edit : edits)
        putEdit(edit, 0);
    // Only an edit can take the last stand-in out.
    if (m_hasStandIn)
        m_hasStandIn = textHasStandIn();
    m_colouring->colourEdit(
        m_document.text(), changed.position, changed.removedLength, changed.insertedLength);
    m_find->refresh();
    restoreView(before.anchor(), before.position(), scroll);
}

void CodeEditorView::putEdit(const TextEdit& edit, qsizetype start)
{
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(edit.position - start));
    cursor.setPosition(int(edit.position - start + edit.removedLength), QTextCursor::KeepAnchor);
    cursor.insertText(SourceDocumentText::toDocument(edit.inserted));
    m_hasStandIn = m_hasStandIn || !SourceDocumentText::isRepresentable(edit.inserted);
}

bool CodeEditorView::hasStandIn(const ChunkedText& text)
{
    bool any = false;
    text.forEachPiece(0, text.size(), [&](QStringView piece, qsizetype) {
        any = !SourceDocumentText::isRepresentable(piece);
        return !any;
    });
    return any;
}

bool CodeEditorView::textHasStandIn() const
{
    return hasStandIn(m_document.text());
}

void CodeEditorView::restoreView(int anchor, int position, int scroll)
{
    const int length = int(m_document.text().size());
    QTextCursor after(m_view->document());
    after.setPosition(qMin(anchor, length));
    after.setPosition(qMin(position, length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(after);
    m_view->verticalScrollBar()->setValue(scroll);
    updateReadOnly();
}

bool CodeEditorView::takeEditNow(const TextEdit& edit)
{
    if (!isLoading())
        return false;
    // The text still to be put in takes the edit; the part the pane holds already shows it at
    // once, so that the pane stays the document's beginning.
    m_loading->replace(edit.position, edit.removedLength, edit.inserted);
    if (edit.position > m_loaded)
        return true;
    const qsizetype shownEnd = qMin(edit.position + edit.removedLength, m_loaded);
    {
        FlagScope programmatic(m_isProgrammatic);
        QTextCursor cursor(m_view->document());
        cursor.beginEditBlock();
        cursor.setPosition(int(edit.position));
        cursor.setPosition(int(shownEnd), QTextCursor::KeepAnchor);
        cursor.insertText(SourceDocumentText::toDocument(edit.inserted));
        cursor.endEditBlock();
    }
    m_hasStandIn = m_hasStandIn || !SourceDocumentText::isRepresentable(edit.inserted);
    m_loaded = edit.position + edit.inserted.size() + (m_loaded - shownEnd);
    return true;
}

void CodeEditorView::onContentsChange(int position, int removed, int added)
{
    if (m_isProgrammatic)
        return;
    if (m_window) {
        userEditInWindow(position, removed, added);
        return;
    }
    if (isLoading()) {
        // Text put in by a call rather than an input event, while the rest goes in: the pane
        // holds the document's beginning, so the change is the document's as it stands.
        removed = int(qBound<qsizetype>(0, qsizetype(removed), m_loaded - position));
        added = qMin(added, m_view->document()->characterCount() - 1 - position);
        const QString inserted = insertedText(position, added);
        m_loading->replace(position, removed, inserted);
        m_loaded += inserted.size() - removed;
        m_document.applyEdit(position, removed, inserted, this, Document::EditKind::Command,
            position, position + inserted.size());
        return;
    }
    if (m_binding->isBehind()) {
        takeEditBehind(position, removed, added, 0, m_binding->shownLength());
        return;
    }
    QTextDocument* textDocument = m_view->document();
    const ChunkedText& text = m_document.text();
    // The document counts the last paragraph's end in changes that reach it; the text has no
    // such character.
    const int documentLength = textDocument->characterCount() - 1;
    added = qMin(added, documentLength - position);
    removed = int(qMin<qsizetype>(removed, text.size() - position));
    if (added < 0 || removed < 0 || text.size() - removed + added != documentLength) {
        // The change cannot be told as a range: the whole text goes to the document.
        const QString all = SourceDocumentText::fromDocument(textDocument->toRawText());
        m_hasStandIn = !SourceDocumentText::isRepresentable(all);
        m_document.applyUserText(all, this);
        m_colouring->colourAll(m_document.text());
        m_find->refresh();
        return;
    }
    reportEdit(position, removed, added, 0);
    m_colouring->colourEdit(m_document.text(), position, removed, added);
    m_find->refresh();
}

void CodeEditorView::takeEditBehind(
    int position, int removed, int added, qsizetype start, qsizetype held)
{
    // A change with no input before it while edits of other views wait (input takes them in
    // first): it is in the older text the pane shows, and the binding puts it where they moved
    // it. The pane is given the document's text whole on the next turn.
    added = qMax(0, qMin(added, m_view->document()->characterCount() - 1 - position));
    removed = int(qBound<qsizetype>(0, qsizetype(removed), held - position));
    const QString inserted = insertedText(position, added);
    if (m_window)
        m_window->apply(start + position, removed, inserted, estimator());
    m_binding->takeEditBehind(start + position, removed, inserted);
}

QString CodeEditorView::insertedText(int position, int added)
{
    QTextCursor cursor(m_view->document());
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    const QString inserted = SourceDocumentText::fromDocument(cursor.selectedText());
    m_hasStandIn = m_hasStandIn || !SourceDocumentText::isRepresentable(inserted);
    return inserted;
}

QString CodeEditorView::reportEdit(int position, int removed, int added, qsizetype start)
{
    const QString inserted = insertedText(position, added);
    const bool typed = removed == 0 && inserted.size() <= 2 && !inserted.contains(u'\n');
    const qsizetype at = start + position;
    m_editSinceCaretMove = true;
    m_document.applyEdit(at, removed, inserted, this,
        typed ? Document::EditKind::Typing : Document::EditKind::Command, at, at + inserted.size());
    return inserted;
}

void CodeEditorView::onCursorPositionChanged()
{
    if (m_isProgrammatic)
        return;
    // A caret moved by hand ends the run of typing that undo takes as one step.
    if (!std::exchange(m_editSinceCaretMove, false))
        m_document.breakTypingRun();
    if (m_detached) {
        m_detached.reset();
        m_view->setCursorWidth(m_cursorWidth);
    }
}

bool CodeEditorView::prepareForStep()
{
    m_binding->follow();
    return !m_view->isReadOnly();
}

void CodeEditorView::showStep(const MarkdownReplacement& step)
{
    applyToView({ TextEdit { step.position, step.removed.size(), step.inserted,
        m_document.text().size(), m_document.version(), step.removed } });
    if (m_window) {
        selectInDocument(step.caretAfter, step.caretAfter);
        return;
    }
    QTextCursor caret(m_view->document());
    caret.setPosition(qMin(step.caretAfter, int(m_document.text().size())));
    m_view->setTextCursor(caret);
    m_view->ensureCursorVisible();
}

void CodeEditorView::updateReadOnly()
{
    // A document that could not be read, or may not be written, is shown, never edited: an edit
    // would be written over the file. So is a text this view could not give back character for
    // character.
    // Setting it sends the view an event even when nothing changes, and a key's edit sets it.
    const bool readOnly = !m_document.isEditable() || m_hasStandIn;
    if (m_view->isReadOnly() != readOnly)
        m_view->setReadOnly(readOnly);
}

void CodeEditorView::scrollToLine(int line)
{
    m_binding->follow(); // the whole text, as the document has it
    const ChunkedText& text = m_document.text();
    // Lines are found in the part of the text up to the line asked for.
    qsizetype end = 0;
    for (int i = 0; i < line && end >= 0 && end < text.size(); ++i) {
        end = text.indexOf(QChar(u'\n'), end);
        if (end >= 0)
            ++end;
    }
    const QString head = text.mid(0, end < 0 ? text.size() : end);
    const std::optional<TextRange> range = MarkdownTextViewSupport::lineRange(head, line);
    if (!range)
        return;
    if (m_window) {
        selectInDocument(range->location, range->end());
        m_view->centerCursor();
        return;
    }
    const int length = m_view->document()->characterCount() - 1;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(qMin(int(range->location), length));
    cursor.setPosition(qMin(int(range->end()), length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
    m_view->centerCursor();
}

void CodeEditorView::flushPendingWork()
{
    m_binding->follow();
    m_colouring->flush();
}

bool CodeEditorView::colouringIsPending() const
{
    return m_colouring->hasPendingPass();
}

} // namespace quillon
