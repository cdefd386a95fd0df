#pragma once

#include "editor/layout/HeightTree.h"
#include "editor/layout/LazyTextLayout.h"

#include <QFont>
#include <QList>
#include <QTextCharFormat>
#include <QTextLayout>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillon {

// The source pane's document layout: paragraphs wrapped at the page width inside the document
// margin, each line as tall as its text, as a plain text view lays them out.
//
// Only the paragraphs that are drawn, hit or reached by the caret get text layouts with lines.
// The others stand with a height estimated from their length until they are measured, in short
// steps while the user pauses, on one scratch layout that keeps nothing but their heights. The
// heights are summed in a HeightTree. A new width keeps the height of every paragraph known to
// fit on one line and estimates the others again.
//
// The paragraphs' formats (the source pane's colours, which never change a line's metrics) are
// kept here in a compact form and handed to a paragraph's text layout when it is laid out: a
// text layout for each coloured paragraph of a long text would cost more than the text.
class SourceDocumentLayout : public LazyTextLayout
{
    Q_OBJECT
public:
    explicit SourceDocumentLayout(QTextDocument* document);

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

    void layoutArea(const QRectF& rect) override;
    bool settle(int budgetMs) override;
    bool hasEstimates() const override { return m_estimated > 0; }
    using LazyTextLayout::placedLayout;
    QTextLayout* placedLayout(const QTextBlock& block, Reach reach) const override;
    int blockAt(qreal y) const override;
    qreal blockTop(int blockNumber) const override;
    qreal blockBottom(int blockNumber) const override;

    // The formats of the paragraph's text; a paragraph on screen is laid out and repainted at
    // once. Returns whether they changed.
    bool setFormats(const QTextBlock& block, const QList<QTextLayout::FormatRange>& formats);
    QList<QTextLayout::FormatRange> formats(const QTextBlock& block) const;
    // How many paragraphs hold text layouts with lines now (for tests and measurements).
    int laidOutCount() const;
    // While a paragraph measured on the way reports its new height: the text engine that asked
    // for it holds its paragraphs meanwhile, and nothing may change the document.
    bool isReportingHeight() const { return m_reportingHeight; }
    // The height of a line of the document's font.
    double lineHeight() const;
    // The height a paragraph of `length` units is estimated at until it is measured, as the
    // frame and font are now: a function of the length alone, cheap enough to call for every line
    // of a long text.
    std::function<double(qsizetype length)> heightEstimator() const;
    // The height of the paragraphs the document holds, without the margins.
    double heldHeight() const { return m_tree.total(); }

Q_SIGNALS:
    // Every paragraph was estimated again for a new width or font.
    void frameChanged();

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Run
    {
        int start = 0;
        int length = 0;
        int format = 0; // in m_formats
        bool operator==(const Run&) const = default;
    };
    struct Slot
    {
        float height = 0; // of the lines, estimated or measured
        float textWidth = 0; // of the text on one line; exact when `oneLine`, else a guess
        bool estimated = true;
        bool hasLines = false; // its text layout holds lines made for the current frame
        bool oneLine = false; // measured: its text fits on one line, `textWidth` wide
        bool partial = false; // a long paragraph's lines stop short of its end
        std::uint32_t runCount = 0;
        std::unique_ptr<Run[]> runs;
    };
    struct Frame
    {
        double width = 0; // of the page
        double margin = 0;
        double available = 0; // for the text of a line
        QFont font;
        QTextOption option;
        bool valid = false;
        bool sameLines(const Frame& other) const;
    };

    Frame frameGeometry() const;
    double frameTop() const override { return m_frame.margin; }
    // The line height of the document's font and the advance of a character of plain ASCII text.
    void measureFont() const;
    // Brings the slots in line with the document's paragraphs after a change at
    // [from, from + length); returns the first and last paragraph it touched.
    int slotCount() const override { return int(m_slots.size()); }
    std::pair<int, int> syncBlocks(int from, int length) const override;
    double estimate(const Slot& slot) const;
    // Lays the paragraph out if its lines are missing or stale and places its text layout.
    QTextLayout* ensureLaidOut(const QTextBlock& block, int index, Reach reach = {}) const override;
    void layoutAround(int index) const;
    void giveFormats(const QTextBlock& block, QTextLayout& layout,
        const QList<QTextLayout::FormatRange>& ranges) const;
    // Breaks `layout`'s text, `length` long, into lines as the pane shows them (on from those it
    // holds when `more`), as far as `reach` when it is long; returns their height, with an
    // estimate of the rest when they stop short.
    double layoutLines(
        QTextLayout& layout, Slot& slot, int length = 0, Reach reach = {}, bool more = false) const;
    // The height of the paragraph's lines, found without keeping a layout of it.
    double measure(const QTextBlock& block, Slot& slot) const;
    void setHeight(int index, double height) const;
    void rebuildTree() const;
    double totalHeight() const;
    QList<QTextLayout::FormatRange> rangesOf(const Slot& slot) const;
    int formatIndex(const QTextCharFormat& format);

    // The change the document last reported, and the paragraphs it touched.
    struct SyncedChange
    {
        int from = -1;
        int added = -1;
        std::pair<int, int> blocks;
    };

    mutable std::vector<Slot> m_slots;
    SyncedChange m_synced;
    mutable HeightTree m_tree; // over the heights
    mutable Frame m_frame;
    mutable int m_estimated = 0;
    mutable int m_settleFrom = 0;
    mutable bool m_settling = false;
    mutable bool m_givingFormats = false;
    mutable bool m_reportingHeight = false;
    mutable QFont m_metricsFont; // the font the two figures below were taken from
    mutable double m_lineHeight = 0;
    mutable double m_advance = 0;
    mutable double m_widthsAdvance = 0; // the advance the slots' text widths were taken with
    mutable std::unique_ptr<QTextLayout> m_scratch;
    std::vector<QTextCharFormat> m_formats; // every format a run names
};

} // namespace quillon
