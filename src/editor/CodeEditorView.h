#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

#include <memory>

namespace quillon {

class SourceColouring;
class SourceFindController;
class WorkspaceState;
struct TextEdit;

// The text view of the source pane: drops from typed and pasted text the stand-ins its document
// uses, and takes other programs' line breaks as line feeds.
class SourceTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit SourceTextEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

// The source pane: the active document's Markdown as typed, in a monospaced font, coloured by
// CodeSyntaxHighlighter.
//
// Follows the document session's edits (as ranges) and replacements, reads the find-bar
// properties, documentError and editorFontSize; reports every user edit to the document session
// as a range and writes totalLocalMatchCount after painting matches. A change from outside
// (another tab, an edit in the block editor, a reload) keeps the scroll position and clears the
// undo history, so undo only ever changes the text this pane shows; an edit elsewhere leaves the
// selection on its text, a replaced text keeps the selection's offsets (limited to its length).
class CodeEditorView : public QWidget
{
    Q_OBJECT
public:
    explicit CodeEditorView(WorkspaceState& workspace, QWidget* parent = nullptr);
    ~CodeEditorView() override;

    bool isDarkMode() const { return m_isDarkMode; }
    void setDarkMode(bool dark);
    qreal fontSize() const { return m_fontSize; }
    void setFontSize(qreal size);

    SourceTextEdit* textView() const { return m_view; }
    // The text as the pane shows it, every character as in the document's file.
    const QString& text() const { return m_text; }
    const SourceFindController& find() const { return *m_find; }

    // Selects and reveals a 1-based line; lines are counted as project search counts them. A
    // hidden pane does so when it is next shown, in its document's text as it is then.
    void scrollToLine(int line);
    // Finishes colouring now if a pass is waiting for a pause in typing.
    void flushPendingWork();
    bool colouringIsPending() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onTextReplaced();
    void followEdit(const TextEdit& edit);
    void onActiveTabChanged();
    void onContentsChange(int position, int removed, int added);
    void replaceFromOutside(const QString& text);
    void applyOutsideEdit(qsizetype position, qsizetype removed, const QString& inserted);
    // After a change from outside: the selection (limited to the text) and the scroll as they
    // were, and no undo history.
    void restoreView(int anchor, int position, int scroll);
    void updateReadOnly();
    void applyAppearance();

    WorkspaceState& m_workspace;
    SourceTextEdit* m_view = nullptr;
    std::unique_ptr<SourceColouring> m_colouring;
    std::unique_ptr<SourceFindController> m_find;
    QString m_text;
    bool m_hasStandIn = false; // m_text holds a character the view could not give back
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    bool m_isProgrammatic = false; // the pane itself is changing its document
    bool m_isApplyingEdit = false; // reporting an edit to the document session
    bool m_isStale = false; // the text changed while the pane was hidden
    int m_pendingLine = 0; // a line to select once the pane is shown, 1-based
};

} // namespace quillon
