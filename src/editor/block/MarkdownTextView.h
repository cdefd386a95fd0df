#pragma once

#include "markdown/MarkdownLineEditing.h"

#include <QBasicTimer>
#include <QTextEdit>
#include <QVariantAnimation>

#include <functional>

namespace quillon {

class BlockDocumentLayout;
class LazyLayoutKeeper;

// The block editor's text view. It routes the editing keys, the bold and italic shortcuts, undo
// and redo, and clicks to callbacks that the editor installs; it pastes plain text only, copies
// Markdown, and lets the editor paint decorations under the text.
class MarkdownTextView : public QTextEdit
{
    Q_OBJECT
public:
    enum class EditingKey { Return, Backspace, Tab, Backtab };

    explicit MarkdownTextView(QWidget* parent = nullptr);

    BlockDocumentLayout& blockLayout() const { return *m_layout; }
    LazyLayoutKeeper& keeper() const { return *m_keeper; }
    // Styling that came in steps of its own is done: estimated heights are settled once the user
    // has been idle for a moment, rather than a moment after that styling's last step.
    void settleWhenIdle();

    // Marks [from, to) with a short highlight that fades, so that the eye finds a line the view
    // jumped to (also when it was on screen already).
    void showFindIndicator(int from, int to, const QColor& color);
    bool isFindIndicatorShown() const { return !m_indicatorRects.isEmpty(); }
    // Where the highlight is drawn, in document coordinates.
    const QList<QRectF>& findIndicatorRects() const { return m_indicatorRects; }

    // Answers true when the key was handled; otherwise the view's default runs.
    std::function<bool(EditingKey)> onEditingKey;
    std::function<void(MarkdownLineEditing::InlineStyle)> onToggleInlineStyle;
    // Point in viewport coordinates; true when a table consumed the click.
    std::function<bool(const QPoint&)> onClickTable;
    std::function<void()> onClickOutsideTable;
    std::function<void()> onUndo;
    std::function<void()> onRedo;
    // Whether the context menu offers undo and redo.
    std::function<bool()> canUndo;
    std::function<bool()> canRedo;
    // Runs after every input event has been handled (keys, input methods, mouse, drops), so
    // that the editor can restyle before the next paint.
    std::function<void()> onInputHandled;
    // Markdown of the storage range [from, to) for the clipboard.
    std::function<QString(int from, int to)> markdownForRange;
    // Paints under the text; the painter is in document coordinates.
    std::function<void(QPainter&, const QRectF& documentRect)> paintUnderText;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);
    // A paragraph break at the caret, replacing the selection.
    void insertLineBreak();
    void inputHandled();
    // The caret is painted here rather than by the text layout, which would size it from the
    // character beside it: a hidden marker's one-pixel font would leave a one-pixel caret.
    QRect caretRect() const;
    void restartCaretBlink();
    void updateFindIndicator();
    // Repaints the paragraphs the old and the new selection span: a selected paragraph break
    // is drawn beyond the text, where the text control does not repaint.
    void repaintSelection();

    BlockDocumentLayout* m_layout = nullptr;
    LazyLayoutKeeper* m_keeper = nullptr;
    QPair<int, int> m_paintedSelection { -1, -1 }; // first and last paragraph

    QBasicTimer m_caretBlink;
    bool m_caretOn = false;
    QList<QRectF> m_indicatorRects; // document coordinates
    QColor m_indicatorColor;
    qreal m_indicatorOpacity = 0;
    QVariantAnimation m_indicatorFade;
};

} // namespace quillon
