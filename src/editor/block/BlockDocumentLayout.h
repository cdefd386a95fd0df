#pragma once

#include "editor/layout/HeightTree.h"
#include "editor/layout/LazyTextLayout.h"

#include <QFont>
#include <QHash>
#include <QRectF>
#include <QSizeF>
#include <QTextFormat>
#include <QTextLayout>

#include <functional>
#include <vector>

namespace quillon {

// The block editor's document layout: one column of paragraphs in the root frame.
//
// A paragraph is laid out only when it is drawn, hit or measured; the others stand with an
// estimated height (from their text length and the column width) until then. The heights are
// summed in a HeightTree, so an edit that changes one paragraph's height moves the later ones
// in O(log n) without touching their text layouts, and one that keeps it moves nothing. A text
// layout's position is set when its paragraph is handed out, so it may be stale until then.
//
// With a format source, a paragraph's character formats are put on its text layout only when it
// is laid out, estimates are settled by measuring a text layout made for the purpose and
// dropped, and paragraphs far from what is shown give their lines and formats back: a long
// document does not keep a laid-out paragraph for every one it has.
class BlockDocumentLayout : public LazyTextLayout
{
    Q_OBJECT
public:
    explicit BlockDocumentLayout(QTextDocument* document);

    // Gives a paragraph's character formats, and in `key` (when asked) a value that is equal for
    // equal formats.
    using FormatSource
        = std::function<QList<QTextLayout::FormatRange>(const QTextBlock&, size_t* key)>;
    // Where the character formats of a paragraph come from when it is laid out. Without one,
    // they are whatever its text layout holds.
    void setFormatSource(FormatSource source);
    // Paragraphs whose text layouts hold formats from the source; for tests of the bookkeeping.
    int formattedCount() const { return m_formattedCount; }

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

    void layoutArea(const QRectF& rect) override;
    // Lays each paragraph out with its own text layout (its formats may change its metrics),
    // then frees the lines.
    bool settle(int budgetMs) override;
    bool hasEstimates() const override { return m_estimated > 0; }
    using LazyTextLayout::placedLayout;
    QTextLayout* placedLayout(const QTextBlock& block, Reach reach) const override;
    // The width of the first line of the paragraph at `position`: an object asks for no more
    // (a wide table scrolls inside it). Without a laid-out frame, no limit.
    qreal lineWidth(int position) const;
    int blockAt(qreal y) const override;
    // The height of the paragraphs held, from the first one's top to the last one's bottom.
    double heldHeight() const { return prefix(int(m_slots.size())); }
    // The y where the first paragraph held starts (its gap above included), and where paragraph
    // `blockNumber` does.
    double heldTopY() const { return heldTop(); }
    double blockStart(int blockNumber) const { return heldTop() + prefix(blockNumber); }
    // A paragraph's height estimated from its length in the column as it is now.
    double estimateLength(qsizetype length) const;
    // A table's height estimated from its Markdown's line count.
    double estimateTable(int markdownLines) const;
    qreal blockTop(int blockNumber) const override;
    qreal blockBottom(int blockNumber) const override;
    // Changes whenever the paragraph's own text layout is given lines or formats (0: unknown),
    // so that what is found on its lines can be kept until then.
    quint32 linesStamp(const QTextBlock& block) const;

Q_SIGNALS:
    // A new width, column or scale: every estimate made for the old one is off.
    void frameChanged();

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;
    void resizeInlineObject(
        QTextInlineObject item, int posInDocument, const QTextFormat& format) override;

private:
    struct Slot
    {
        double height = 0; // of the lines, estimated or laid out
        double extent = 0; // gap above plus height, as summed in the tree
        float topMargin = 0;
        float bottomMargin = 0;
        float sideMargins = 0; // left and right margins and indents
        float lineAdvance = 0; // for estimates
        float textWidth = 0; // of the text on one line, for estimates
        bool estimated = true;
        bool hasLines = false; // its text layout holds lines this layout made
        bool formatted = false; // its text layout holds the formats the source gave
        // A long paragraph's lines stop short of its end: its height holds an estimate of the
        // rest, and its text layout stays open for more lines.
        bool partial = false;
        // Set anew each time its own text layout is given lines: what was found on its lines
        // stays true while this does.
        quint32 linesStamp = 0;
    };
    struct Frame
    {
        double left = 0; // where lines start
        double contentWidth = 0;
        double top = 0;
        double bottom = 0; // below the last paragraph
        double width = 0;
        double scale = 1; // of margins and line heights, for the paint device's resolution
        bool valid = false;
        bool operator==(const Frame&) const = default;
    };

    Frame frameGeometry() const;
    struct Margins
    {
        double left = 0;
        double right = 0;
    };
    // Of the paragraph's lines, inside the column.
    Margins marginsOf(const QTextBlock& block) const;
    void relayout(int from, int charsAdded);
    // Brings the slots in line with the document's paragraphs after a change at
    // [from, from + length); returns the first and last paragraph it touched.
    int slotCount() const override { return int(m_slots.size()); }
    std::pair<int, int> syncBlocks(int from, int length) const override;
    void describe(Slot& slot, const QTextBlock& block, bool keepHeight) const;
    double estimate(const Slot& slot) const;
    // Lays the paragraph out if its lines are missing or stale and places its text layout.
    QTextLayout* ensureLaidOut(const QTextBlock& block, int index, Reach reach = {}) const override;
    void layoutAround(int index) const;
    // Lays the paragraph's lines out in `layout` (on from those it holds when `more`), as far as
    // `reach` for a long one; `widest` receives the right end of its widest line. Returns its
    // height, with an estimate of the rest when its lines stop short.
    double layoutBlock(const QTextBlock& block, QTextLayout& layout, Slot& slot,
        double* widest = nullptr, Reach reach = {}, bool more = false) const;
    // The paragraph's laid-out height, without keeping lines or formats it did not have.
    double measure(const QTextBlock& block, Slot& slot) const;
    // Takes lines and formats back from paragraphs outside [top, bottom] (document y) once
    // more paragraphs hold them than a few screens need.
    void releaseOutside(double top, double bottom) const;
    void dropFormats(const QTextBlock& block, Slot& slot) const;
    // Formats on a text layout of the paragraph, without the document taking it as an edit.
    void putFormats(QTextLayout& layout, const QTextBlock& block,
        const QList<QTextLayout::FormatRange>& formats) const;
    void takeBackFormatNews() const;
    bool isOwnFormatNews(int from, int charsRemoved, int charsAdded) const;
    // Whether the slot's extent changed.
    bool setExtent(int index) const;
    double gapAbove(int index) const;
    void rebuildTree() const;
    double prefix(int index) const; // sum of the extents before `index`
    int slotAt(double y) const; // y relative to the frame's top
    double totalHeight() const;
    double frameWidth() const;
    QRectF clipColumn() const;
    struct SelectionSpan
    {
        int start = 0;
        int end = 0;
        int position = 0;
    };
    void drawBlock(QPainter* painter, const PaintContext& context,
        const std::vector<SelectionSpan>& spans, const QTextBlock& block, QTextLayout* layout,
        const QRectF& clip) const;

    double frameTop() const override { return m_frame.top; }
    mutable std::vector<Slot> m_slots;
    mutable HeightTree m_tree; // over the extents
    mutable Frame m_frame;
    mutable int m_estimated = 0;
    mutable int m_formattedCount = 0;
    mutable quint32 m_lastStamp = 0;
    FormatSource m_formatSource;
    // Set from the document's report of a change until it has been laid out.
    mutable bool m_inChange = false;
    // The paragraphs whose new formats the document still counts as a change of its own.
    mutable int m_formatNewsFrom = -1;
    mutable int m_formatNewsTo = -1;
    mutable bool m_formatNewsQueued = false;
    mutable bool m_takingBackFormatNews = false;
    mutable double m_contentsWidth = 0; // of the widest line laid out, from the column's left
    mutable bool m_settling = false;
    mutable int m_settleFrom = 0;
    mutable QFont m_metricsFont; // the document's font the estimates below were taken from
    mutable double m_rawLineHeight = 0;
    mutable double m_charWidth = 0;
    // What the slots take of each paragraph format, by its index in the document.
    struct FormatMetrics
    {
        QTextBlockFormat format;
        double scale = 1;
        float topMargin = 0;
        float bottomMargin = 0;
        float sideMargins = 0;
        float lineAdvance = 0;
        size_t linesKey = 0;
    };
    mutable QHash<int, FormatMetrics> m_formatMetrics;
    const FormatMetrics& metricsOf(const QTextBlock& block) const;
    // Heights measured while settling, by what decides them: paragraphs that are alike (blank
    // lines, fences, list items written the same) are measured once.
    struct Measured
    {
        double height = 0;
        double widest = 0;
        float textWidth = 0;
        float lineAdvance = 0;
    };
    mutable QHash<size_t, Measured> m_measured;
};

} // namespace quillon
