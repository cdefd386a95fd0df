#pragma once

#include "editor/block/BlockStylePresenter.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "platform/AttributedText.h"
#include "workspace/MarkdownUndoStack.h"

#include <QWidget>

namespace quillon {

class MarkdownTextView;

// A self-contained Markdown editing view: one text view holding the Markdown of its text, styled
// in place by the Markdown highlighter, its column centred in wide views. Tables stay text, keys
// follow no line-editing rules, and there are no find highlights.
//
// The embedder sets the text and hears every user edit through textEdited; undo and redo step
// through those edits (adjacent typing is one step). A text set from outside is never an undo
// step and starts a fresh history; it keeps the caret's offset (limited to the new length) and
// the scroll position.
class EditorView : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal kColumnWidth = 720;
    static constexpr qreal kVerticalInset = 60;
    // The text's horizontal inset in a view `width` wide: the column of 720 centred beyond 820,
    // else 50.
    static qreal horizontalInset(qreal width) { return width > 820 ? (width - 720) * 0.5 : 50; }

    explicit EditorView(QWidget* parent = nullptr);

    QString text() const { return m_storage.text(); }
    void setText(const QString& text);
    void setDarkMode(bool dark);
    void setFontSize(qreal size);
    void setReadingMode(bool on);

    MarkdownTextView* textView() const { return m_view; }

Q_SIGNALS:
    void textEdited(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTextChanged();
    void onCursorPositionChanged();
    void undo();
    void redo();
    void applyStep(const MarkdownReplacement& step);
    void restyle(qsizetype cursorLocation, bool focused);
    void restyleIfNeeded();
    void updateInsets();

    MarkdownTextView* m_view = nullptr;
    AttributedText m_storage;
    BlockStylePresenter m_presenter;
    MarkdownTextViewSupport::HighlightState m_lastHighlight;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    bool m_isReadingMode = false;
    bool m_isUpdating = false;
    // Kept in text terms, as the block editor's: the document's own history would record every
    // restyle, and a restyle after an undo would drop what redo had.
    MarkdownUndoStack m_undo;
    int m_caret = 0;
    int m_caretBeforeEdit = 0;
    bool m_editSinceCaretMove = false;
};

} // namespace quillon
