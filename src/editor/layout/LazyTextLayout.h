#pragma once

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QSizeF>
#include <QTextBlock>
#include <QTextDocument>

#include <functional>
#include <utility>

class QTextLayout;

namespace quillon {

// What the lines of a paragraph must reach, in its own terms: the character at `offset` and the
// height `y` below its first line's top. A long paragraph gets lines only that far, and a margin
// beyond; a short one always gets all of them.
struct LineReach
{
    int offset = 0;
    double y = 0;
};

// A document layout that lays a column of paragraphs out only as they are drawn, hit or
// measured; the others stand with estimated heights until then. What the views over it share:
// laying out an area before painting it, measuring the estimated paragraphs in short steps, and
// telling the view when a paragraph's height became known, so that it can keep the text on
// screen still (LazyLayoutKeeper).
class LazyTextLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;

    // While the view paints, a paragraph asked for alone is laid out without its neighbours:
    // their new heights would move what is being painted.
    class PaintScope
    {
    public:
        explicit PaintScope(const LazyTextLayout& layout)
            : m_layout(layout)
        {
            ++m_layout.m_painting;
        }
        ~PaintScope() { --m_layout.m_painting; }
        PaintScope(const PaintScope&) = delete;
        PaintScope& operator=(const PaintScope&) = delete;

    private:
        const LazyTextLayout& m_layout;
    };

    // Lays out the paragraphs that reach `rect` (document coordinates), so that painting it
    // finds every height final.
    virtual void layoutArea(const QRectF& rect) = 0;
    using Reach = LineReach;
    // Paragraphs longer than this (UTF-16 units) get lines only as far as they are needed.
    static int longParagraph();
    // For tests, which want long paragraphs without megabytes of text; 0 restores the default.
    static void setLongParagraphForTesting(int length);

    // Measures paragraphs that still stand with an estimate for about `budgetMs`, keeping only
    // their heights; true while some are left. The new size is reported by reportNow().
    virtual bool settle(int budgetMs) = 0;
    virtual bool hasEstimates() const = 0;
    // The paragraph's text layout, laid out and placed (its neighbours are left as they are), its
    // lines reaching `reach`.
    virtual QTextLayout* placedLayout(const QTextBlock& block, Reach reach) const = 0;
    QTextLayout* placedLayout(const QTextBlock& block) const { return placedLayout(block, {}); }
    // Where the caret is: the lines of its paragraph reach it and `beyond` (a height) past it, and
    // a long paragraph just above it gets all its lines, as the text engine's own caret movement
    // reads them there. The caret's paragraph keeps reaching it when it is laid out again.
    // Returns whether its lines stopped short of it.
    bool reachCaret(int position, double beyond);
    // The paragraph whose slot (its lines and the gap above them) holds document height y.
    virtual int blockAt(qreal y) const = 0;
    // The top of a paragraph's lines in document coordinates, and the bottom of its slot.
    virtual qreal blockTop(int blockNumber) const = 0;
    virtual qreal blockBottom(int blockNumber) const = 0;

    // Reports the size and the moved area now rather than once control is back in the loop.
    void reportNow() { report(); }
    // Where a view scrolled to `top()` (document y) shows it once the area a `page` either side
    // of it is laid out: showing a scroll position lays that area out, and estimated heights in
    // it becoming known would move the text from where it was put. The size is reported, so that
    // the scroll range reaches the place.
    double layoutAroundTop(const std::function<double()>& top, double page);

    // The document holds a window of a longer text: the paragraphs above it stand `above` high
    // over the first one, those below it `below` under the last, and the document's size spans
    // them all.
    void setOutsideHeights(double above, double below);
    double heightAbove() const { return m_above; }
    double heightBelow() const { return m_below; }

Q_SIGNALS:
    // Paragraphs were left with estimated heights.
    void estimatesLeft();
    // A paragraph's new height moved the text below `oldBottom` (where it ended) by `delta`.
    void heightChanged(qreal oldBottom, qreal delta);

protected:
    // Whether a change over paragraphs [first, last] is laid out at once: a few paragraphs of
    // moderate length, or a single one (a long one then only as far as the change). A wider
    // change, such as every paragraph after a new width, is laid out as it comes into view.
    bool laysOutAtOnce(int first, int last) const;
    // Where the first paragraph held would start with no text above the window.
    virtual double frameTop() const = 0;
    // Where the first paragraph held starts (its gap above included).
    double heldTop() const { return frameTop() + m_above; }
    // The number of paragraphs the layout keeps a slot for.
    virtual int slotCount() const = 0;
    // Brings the slots of the paragraphs [from, from + length) reached in step with the document;
    // returns the first and last of them.
    virtual std::pair<int, int> syncBlocks(int from, int length) const = 0;
    // The paragraph's text layout, laid out if it was not, its lines reaching `reach` and the
    // caret if it is there (its neighbours are left as they are).
    virtual QTextLayout* ensureLaidOut(
        const QTextBlock& block, int index, Reach reach = {}) const = 0;
    // A change the document has not reported to the layout yet: every slot is brought in step.
    void syncIfStale() const
    {
        if (slotCount() != document()->blockCount())
            syncBlocks(0, document()->characterCount());
    }
    // The paragraph that holds document height `y`, laid out, in `block`. Laying a paragraph out
    // may change its height, and so which paragraph holds the point: it is looked for again.
    QTextLayout* laidOutAt(qreal y, QTextBlock& block) const;

    // Lines made in steps. Each new line goes to `place(line)`, which sets its width and position
    // and returns the height below it. A short paragraph (`length` is its text's) gets all its
    // lines; a long one gets them on from those `layout` holds (when `more`, else from its start)
    // until they reach `reach` and a margin beyond; its layout stays open for more.
    enum class Lines {
        All, // the text is used up and the layout ended
        Some, // more text is left
        Stalled, // no line could be added to those held: they have to be made from the start
    };
    template <typename Place>
    static Lines makeLines(QTextLayout& layout, int length, bool more, Reach reach, Place&& place)
    {
        if (more) {
            // Brings back the text's analysis should something have dropped it.
            layout.isValidCursorPosition(0);
        } else {
            if (layout.lineCount() > 0)
                layout.clearLayout(); // it may be open
            layout.beginLayout();
        }
        const bool whole = length <= longParagraph();
        bool first = true;
        double target = reach.y;
        bool offsetReached = false;
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) {
                if (more && first && lineEnd(layout) < length)
                    return Lines::Stalled;
                layout.endLayout();
                return Lines::All;
            }
            first = false;
            const double below = place(line);
            if (whole)
                continue;
            if (!offsetReached && line.textStart() + line.textLength() >= reach.offset) {
                offsetReached = true;
                target = qMax(target, line.y());
            }
            if (offsetReached && below >= target + kLinesBeyond
                && line.textStart() + line.textLength() < length)
                return Lines::Some;
        }
    }
    // Whether the lines `layout` holds already reach `reach`.
    static bool reaches(const QTextLayout& layout, Reach reach);
    // Where the text after the last line of `layout` starts.
    static int lineEnd(const QTextLayout& layout);
    // The height of what lines would hold the text after those made, `made` high: as many as its
    // length takes at the characters per line of those made.
    static double restHeight(const QTextLayout& layout, int length, double made);
    // Where the caret is, if it is in the paragraph: its offset in it, else -1.
    int caretIn(const QTextBlock& block) const;
    // Goes round the paragraphs from `from` (on from the first after the last), handing each to
    // `measure(block, index)`, which measures it if it still stands with an estimate and says
    // whether it did, until `done()` or, looked at every `every` paragraphs measured, until
    // `budgetMs` has passed. Returns the paragraph to go on from next time.
    template <typename Measure, typename Done>
    int measureRound(int from, int budgetMs, int every, Measure&& measure, Done&& done) const
    {
        QElapsedTimer clock;
        clock.start();
        const int count = slotCount();
        int index = from < count ? from : 0;
        QTextBlock block = document()->findBlockByNumber(index);
        int measured = 0;
        for (int seen = 0; seen < count && !done(); ++seen) {
            if (!block.isValid()) {
                index = 0;
                block = document()->begin();
            }
            if (measure(block, index) && ++measured % every == 0 && clock.elapsed() >= budgetMs)
                return index + 1;
            block = block.next();
            ++index;
        }
        return index;
    }
    // The paragraphs a change of the characters [from, from + length) reached: [first, last] now,
    // [first, lastOld] among the `slotCount` the layout knew before. A change that cannot be
    // placed among them reaches every paragraph.
    struct ChangedBlocks
    {
        QTextBlock firstBlock;
        int first = 0;
        int last = 0;
        int lastOld = 0;
    };
    ChangedBlocks changedBlocks(int from, int length, int slotCount) const;
    // The offset in a laid-out paragraph nearest to `point` (document coordinates): above its
    // first line its start, below its last its end, beside a line the nearest place on that line.
    // `exact` tells whether the point is on a line's text.
    static int offsetAt(
        const QTextLayout& layout, const QPointF& point, Qt::HitTestAccuracy accuracy, bool* exact);
    // A paragraph keeps what laying it out found (its items and shaped glyphs) for as long as
    // it keeps its lines: without them, drawing one of its lines or placing the caret in it
    // shapes the whole paragraph again, a sixth of the work of a screen painted again after a
    // line break or a wheel step. Only the paragraphs around what is shown keep lines.
    static void keepShaping(QTextLayout& layout);
    bool isPainting() const { return m_painting > 0; }
    // Content from document height `fromY` down moved; repainted and the size reported once
    // control is back in the loop.
    void noteMoved(double fromY) const;
    // The height from which content moved since the last report (-1: none), forgotten.
    double takeMovedFrom() const;
    void reportLater() const;
    void report();

private:
    // How far past what they must reach the lines of a long paragraph are made: a few screens,
    // so that scrolling or moving the caret a little needs none more.
    static constexpr double kLinesBeyond = 2000;

    mutable int m_painting = 0;
    int m_caret = -1;
    double m_above = 0;
    double m_below = 0;
    mutable double m_movedFrom = -1; // document y from which content moved, -1: nothing
    mutable bool m_reportQueued = false;
    QSizeF m_reportedSize;
};

} // namespace quillon
