#pragma once

#include <QTextEdit>

#include <functional>

namespace quillon {

class LazyLayoutKeeper;
class SourceDocumentLayout;

// The text view of the source pane: a text edit over a SourceDocumentLayout, which lays out only
// the paragraphs shown. It scrolls as a plain text view does, by whole lines: the top of the view
// is always the top of a line, and the document's top margin shows only at the very top. It drops
// from typed and pasted text the stand-ins its document uses, and takes other programs' line
// breaks as line feeds. Undo and redo, by key or from the context menu, go to the pane, whose
// history is its document's.
class SourceTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit SourceTextEdit(QWidget* parent = nullptr);

    SourceDocumentLayout& sourceLayout() const { return *m_layout; }
    // Scrolls so that the caret's line is in the middle of the view.
    void centerCursor();
    // Scrolls the least that shows the line holding `position` with a line to spare below it,
    // else puts it a third of the way down; the caret stays. True when it scrolled.
    bool revealPosition(int position);

    std::function<void()> onUndo;
    std::function<void()> onRedo;
    // Whether the context menu offers undo and redo.
    std::function<bool()> canUndo;
    std::function<bool()> canRedo;
    // Before a scroll takes effect (the pane may put other lines in first).
    std::function<void()> beforeScroll;
    // Before a key is handled; true when it was handled there.
    std::function<bool(QKeyEvent&)> beforeKey;
    // The selected text as the document holds it, for copy and drag.
    std::function<QString()> selectionText;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    void handleKey(QKeyEvent* event);
    // The scroll position at or below (`down`) or at or above document height `y` that has a
    // line's top at the top of the view; 0 stands for the first line, margin and all.
    int lineTop(int y, bool down) const;
    void snapScroll();

    SourceDocumentLayout* m_layout = nullptr;
    LazyLayoutKeeper* m_keeper = nullptr;
    int m_scroll = 0; // the scroll position last seen
    int m_pageStep = 0; // the page step under way: +1 down, -1 up
    bool m_snapping = false;
    double m_wheelLines = 0; // turned but not scrolled yet
};

} // namespace quillon
