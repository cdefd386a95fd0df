#pragma once

#include "editor/document/DocumentBinding.h"
#include "editor/layout/TextWindow.h"
#include "editor/source/SourceTextEdit.h"
#include "platform/ChunkedText.h"
#include "workspace/Document.h"

#include <QFuture>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace quillon {

class AfterFirstPaint;
class Document;
class SourceColouring;
class DocumentFind;
class EditorFindController;
class WorkspaceState;
struct TextEdit;

// The source pane: one document's Markdown as typed, in a monospaced font, coloured by
// CodeSyntaxHighlighter. It is made for one Document and shows it for its whole life.
//
// Reports every user edit to the document as a range; edits of other views arrive as ranges and
// are applied on the next turn of the event loop (before any key of the user's), keeping the
// selection on its text and the scroll position; a replaced text keeps the selection's offsets
// (limited to its length). A long text is put into the pane a slice per turn of the event loop
// when the pane is made, so that the window shows it and answers meanwhile; whatever needs the
// whole text (a key, a click, another view's edit, find) has the rest put in first. A text
// longer than TextWindow::targetLength() is held only in part, a window of its lines around
// what is shown and the caret, filled again from the document as they move; the layout places it
// below the heights of the lines above it, so that the scroll bar spans the whole text. Undo and
// redo walk the document's history. Reads the editor font size (a new appearance or size is
// shown while the pane is on screen, else once it is shown again); paints the document's find
// matches while it is the pane on screen.
class CodeEditorView : public QWidget, private BoundPane
{
    Q_OBJECT
public:
    // Coloured for `isDarkMode` from the start. `find` is the document's find model, shared with
    // its other views; without one the pane keeps its own.
    CodeEditorView(Document& document, WorkspaceState& workspace, bool isDarkMode = false,
        QWidget* parent = nullptr, DocumentFind* find = nullptr);
    ~CodeEditorView() override;

    bool isDarkMode() const { return m_binding->isDarkMode(); }
    void setDarkMode(bool dark) { m_binding->setDarkMode(dark); }
    qreal fontSize() const { return m_binding->fontSize(); }
    void setFontSize(qreal size) { m_binding->setFontSize(size); }

    Document& document() const { return m_document; }
    SourceTextEdit* textView() const { return m_view; }
    // The text as the pane shows it, every character as in the document's file.
    QString text() const;
    const DocumentFind& find() const;
    // Whether the find matches are painted here (and, with a model of its own, counted): only
    // in the pane on screen.
    void setFindActive(bool active);

    // Selects and reveals a 1-based line; lines are counted as project search counts them.
    void scrollToLine(int line);
    // Applies edits of other views and finishes colouring now.
    void flushPendingWork();
    bool colouringIsPending() const;
    // A long text is still being put into the pane.
    bool isLoading() const override { return m_loading.has_value(); }
    // The selection as offsets of the document's text: anchor, then caret.
    std::pair<qsizetype, qsizetype> documentSelection() const;
    // Selects the document's [anchor, position) (either way round) and scrolls the caret into
    // view.
    void selectInDocument(qsizetype anchor, qsizetype position);
    void undo() { m_binding->undo(); }
    void redo() { m_binding->redo(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // BoundPane
    void followEdits(const QList<TextEdit>& edits, const ReplacedStretch* outside) override;
    void showReplaced(const ReplacedStretch& stretch) override;
    void showStep(const MarkdownReplacement& step) override;
    void setEditable(bool) override { updateReadOnly(); }
    bool mayEdit() const override { return !m_view->isReadOnly(); }
    void showAppearance() override;
    void finishLoading() override;
    bool takeEditNow(const TextEdit& edit) override;
    bool mayApplyOutsideEdit() const override { return !isLoading(); }
    void followQueued() override { m_binding->follow(); }
    bool prepareForStep() override;

    void onContentsChange(int position, int removed, int added);
    // Hands the user's edit of the pane's [position, position + added) (which replaced `removed`
    // units) to the document, which holds the pane's text from `start` on; returns what it put
    // in.
    QString reportEdit(int position, int removed, int added, qsizetype start);
    void takeEditBehind(int position, int removed, int added, qsizetype start, qsizetype held);
    // The pane's text of [position, position + added) as the document's; a character the pane
    // shows by a stand-in is noted.
    QString insertedText(int position, int added);
    void onCursorPositionChanged();
    // Shows the document's text whole. After a replacement from outside, the caret, selection
    // and scroll follow the text they were on through the stretch that changed.
    void replaceFromOutside(std::optional<ReplacedStretch> stretch = std::nullopt);
    // Puts the text in the pane: at once when it is short, else its first part now and the rest
    // in slices.
    void loadFirstText();
    void loadSlice(qsizetype length);
    // Applies a change the document already holds (another view's, or a step of the history).
    void applyToView(const QList<TextEdit>& edits);
    // Puts one such edit into the pane, which holds the document's text from `start` on.
    void putEdit(const TextEdit& edit, qsizetype start);
    // Whether the document's text holds a character the pane could not give back.
    bool textHasStandIn() const;
    static bool hasStandIn(const ChunkedText& text);
    // After a change from outside: the selection (limited to the text) and the scroll as they
    // were.
    void restoreView(int anchor, int position, int scroll);
    // The first place on screen and how far below the view's top it starts.
    struct ScreenTop
    {
        int position = 0;
        int y = 0;
    };
    ScreenTop screenTop() const;
    // Scrolls so that the text `top` showed first is there again after `stretch` changed above
    // it.
    void keepScreenTop(const ReplacedStretch& stretch, const ScreenTop& top);
    void updateReadOnly();
    void applyAppearance();

    // The window over a long text (CodeEditorView_Window.cpp).
    qsizetype windowStart() const { return m_window ? m_window->start() : 0; }
    int toView(qsizetype offset) const;
    TextWindow::Estimate estimator() const;
    // Holds the document's text in a window from now on, around the selection and the screen
    // (mapped through `stretch` when the text was replaced).
    void startWindow(std::optional<ReplacedStretch> stretch);
    // Puts the window's lines into the pane, keeping the selection and the text on screen.
    void moveWindow(int firstLine, int endLine);
    void fillWindow();
    // Moves the window so that it holds [from, to] well inside it, if it does not already.
    void coverRange(qsizetype from, qsizetype to);
    // The measured heights of the lines the pane holds, kept for when it holds others.
    void keepHeights();
    // The line at document height y in the whole text, and its top.
    using LineTop = TextWindow::LineTop;
    TextWindow::Frame windowFrame() const;
    LineTop lineAtY(double y) const;
    double topOfLine(int line) const;
    void restoreSelection(qsizetype anchor, qsizetype position);
    void applyToWindow(const QList<TextEdit>& edits);
    void followEditsInWindow(const QList<TextEdit>& edits, const ReplacedStretch& outside);
    void userEditInWindow(int position, int removed, int added);
    void followScroll();
    bool windowKey(QKeyEvent& event);
    void windowMouse(QEvent& event);

    Document& m_document;
    std::unique_ptr<DocumentBinding> m_binding;
    SourceTextEdit* m_view = nullptr;
    std::unique_ptr<SourceColouring> m_colouring;
    std::unique_ptr<DocumentFind> m_ownFind; // when no model was handed in
    std::unique_ptr<EditorFindController> m_find;
    std::optional<ChunkedText> m_loading; // the text being put into the pane, slice by slice
    qsizetype m_loaded = 0; // how much of it the pane holds
    // What goes in is a long text's first screen: its window takes its place, not the rest.
    bool m_windowAfterLoading = false;
    std::unique_ptr<AfterFirstPaint> m_afterFirstPaint;
    // Meanwhile the text's lines are found on another thread, for the document's version then.
    struct FoundLines
    {
        // The lines, and whether the text holds a character the view could not give back.
        QFuture<std::pair<TextWindow, bool>> lines;
        quint64 version = 0;
    };
    std::optional<FoundLines> m_foundLines;
    bool m_hasStandIn = false; // the text holds a character the view could not give back
    // The appearance on screen.
    bool m_shownDark = false;
    qreal m_shownFontSize = 15;
    bool m_isProgrammatic = false; // the pane itself is changing its document
    bool m_editSinceCaretMove = false;
    std::optional<TextWindow> m_window; // a long text: the part of it the pane holds
    // The selection (anchor, caret) while the window holds other lines.
    std::optional<std::pair<qsizetype, qsizetype>> m_detached;
    bool m_movingWindow = false;
    bool m_followQueued = false; // a window move asked for while a paragraph was measured
    int m_cursorWidth = 1;
};

} // namespace quillon
