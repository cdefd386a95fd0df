#pragma once

#include "editor/layout/LazyTextLayout.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QRect;
class QResizeEvent;
class QTextEdit;

namespace quillon {

// Keeps a text view over a LazyTextLayout steady. What a scroll is about to show is laid out
// before it is painted; a paragraph above the view whose height becomes known moves the scroll
// position with it rather than the text on screen; the line at the top stays there when the width
// or the font changes; and the paragraphs that stand with estimated heights are measured in short
// steps while the user pauses; a caret the user's last input left in view stays in view while
// heights change, until the user scrolls. The view calls it from its own event handlers.
class LazyLayoutKeeper : public QObject
{
    Q_OBJECT
public:
    LazyLayoutKeeper(QTextEdit& view, LazyTextLayout& layout);

    // While one lives the view paints: the exposed area (viewport coordinates) is laid out
    // first, so that every height in it is final before anything is drawn.
    class Painting
    {
    public:
        Painting(LazyLayoutKeeper& keeper, const QRect& exposed);
        ~Painting();
        Painting(const Painting&) = delete;
        Painting& operator=(const Painting&) = delete;

    private:
        LazyLayoutKeeper& m_keeper;
        LazyTextLayout::PaintScope m_scope;
    };

    // While one lives, scrolls keep the text in view (a restyle that changed heights puts it back
    // where it was): they are not the user's, and a caret kept in view stays kept.
    class SteadyScroll
    {
    public:
        explicit SteadyScroll(LazyLayoutKeeper& keeper)
            : m_keeper(keeper)
        {
            ++m_keeper.m_steadyScrolls;
        }
        ~SteadyScroll() { --m_keeper.m_steadyScrolls; }
        SteadyScroll(const SteadyScroll&) = delete;
        SteadyScroll& operator=(const SteadyScroll&) = delete;

    private:
        LazyLayoutKeeper& m_keeper;
    };

    // From the view's resize event; `resize` runs the text edit's own handling of it.
    void resized(QResizeEvent* event, const std::function<void()>& resize);
    // Runs `change` (a new font, say), after which the line that was at the top of the view is
    // there again.
    void keepTopLine(const std::function<void()>& change);
    // From the view's show event.
    void shown();
    // After every input event the view handled: measuring waits until the user pauses.
    void inputHandled();
    // Measures the estimated paragraphs once the user has been idle for a moment (counted from
    // the last input, not from now).
    void settleWhenIdle();

protected:
    // Before a key reaches the view, the lines of a long paragraph reach past the caret as far
    // as the key may move it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kSettleDelay = 400; // ms after the last input
    static constexpr int kSettleBudgetMs = 4; // per step, so that a key waits no longer

    // The start of the text line at the top of the view, kept across a change of width.
    void noteTopLine();
    void restoreTopLine();
    void settleStep();
    // Keeps the text in view still when a paragraph above it changes height.
    void shiftBy(qreal delta);
    // Once control is back in the loop: a caret that should stay in view and no longer is gets
    // scrolled to.
    void checkCaretLater();
    void keepCaretInView();
    void caretMoved();

    QTextEdit& m_view;
    LazyTextLayout& m_layout;
    struct TopLine
    {
        int position = -1;
        qreal offset = 0; // of the view's top below the line's top
    };
    TopLine m_topLine;
    bool m_keepingTopLine = false;
    int m_painting = 0;
    bool m_arranging = false; // laying out what a new scroll position shows
    qreal m_pendingShift = 0; // of the scroll position, not yet applied
    // The user's last input left the caret in view, and the user has not scrolled since.
    bool m_followCaret = false;
    bool m_caretCheckQueued = false;
    int m_steadyScrolls = 0;
    QTimer m_settleTimer;
    QElapsedTimer m_settleReported;
    QElapsedTimer m_lastInput;
};

} // namespace quillon
