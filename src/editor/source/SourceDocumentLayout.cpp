#include "editor/source/SourceDocumentLayout.h"

#include "editor/document/FlagScope.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace quillon {

namespace {

// An edit over fewer paragraphs than this has them laid out by the edit itself, or left to be
// laid out as they come into view when they hold many characters.
constexpr int kEditedBlocks = 24;

// Beyond every coordinate the view can show.
constexpr qreal kFar = 1e9;
// How far around a paragraph asked for alone its neighbours are laid out: more than a screen.
constexpr double kAround = 1500;
// Paragraphs longer than this keep their estimate until they are shown: measuring one would hold
// the window longer than a step of settling may.
constexpr int kLongestMeasured = 16 * 1024;

// A paragraph `textWidth` wide on one line, broken into lines `available` wide.
double estimatedLines(double textWidth, double available, double lineHeight)
{
    available = qMax(1.0, available);
    return textWidth <= available ? lineHeight : std::ceil(textWidth / available) * lineHeight;
}

// Text whose every character the font has, one advance wide, and that breaks no line by itself.
bool isPlainAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(),
        [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

} // namespace

bool SourceDocumentLayout::Frame::sameLines(const Frame& other) const
{
    return valid == other.valid && width == other.width && margin == other.margin
        && available == other.available && font == other.font
        && option.wrapMode() == other.option.wrapMode()
        && option.tabStopDistance() == other.option.tabStopDistance()
        && option.tabs() == other.option.tabs() && option.flags() == other.option.flags()
        && option.textDirection() == other.option.textDirection()
        && option.alignment() == other.option.alignment();
}

SourceDocumentLayout::SourceDocumentLayout(QTextDocument* document)
    : LazyTextLayout(document)
{
    // Connected before any view's handler, so that handlers that measure during the change see
    // the paragraphs as they now are.
    connect(document, &QTextDocument::contentsChange, this, [this](int from, int, int added) {
        m_synced = { from, added, syncBlocks(from, added) };
    });
}

SourceDocumentLayout::Frame SourceDocumentLayout::frameGeometry() const
{
    Frame frame;
    const QTextDocument* doc = document();
    const QSizeF page = doc->pageSize();
    if (page.isNull())
        return frame;
    frame.width = page.width();
    frame.margin = doc->documentMargin();
    frame.option = doc->defaultTextOption();
    frame.font = doc->defaultFont();
    double extraMargin = 0;
    if (frame.option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        extraMargin = QFontMetrics(frame.font).horizontalAdvance(QChar(0x21B5));
    // A page of no width lays every paragraph out on lines as long as it is.
    const double width = frame.width > 0 ? frame.width : double(INT_MAX);
    frame.available = width - 2 * frame.margin - extraMargin;
    frame.valid = true;
    return frame;
}

void SourceDocumentLayout::measureFont() const
{
    const QFont font = document()->defaultFont();
    if (m_lineHeight > 0 && m_metricsFont == font)
        return;
    m_metricsFont = font;
    // Shaped for the device the text is shown on, as the paragraphs' own layouts are.
    const QPaintDevice* device = paintDevice();
    m_scratch = std::make_unique<QTextLayout>(QString(), device ? QFont(font, device) : font);
    m_scratch->setText(QStringLiteral("x"));
    Slot slot;
    m_lineHeight = layoutLines(*m_scratch, slot);
    m_advance = slot.textWidth;
}

std::pair<int, int> SourceDocumentLayout::syncBlocks(int from, int length) const
{
    const QTextDocument* doc = document();
    const int n = doc->blockCount();
    const int m = int(m_slots.size());
    // A new width or font reaches every paragraph but changes none of them: documentChanged
    // estimates them again without looking at each.
    if (n == m && m_tree.isBuilt() && from <= 0 && from + length >= doc->characterCount() - 1
        && !frameGeometry().sameLines(m_frame))
        return { 0, n - 1 };
    const ChangedBlocks changed = changedBlocks(from, length, m);
    const QTextBlock firstBlock = changed.firstBlock;
    const int first = changed.first;
    const int last = changed.last;
    const int lastOld = changed.lastOld;
    const int oldCount = lastOld - first + 1;
    const int newCount = last - first + 1;
    const int kept = qMin(oldCount, newCount);
    const bool structural = oldCount != newCount;
    if (newCount > oldCount && first + oldCount == m) {
        m_slots.resize(size_t(m + newCount - oldCount));
    } else if (newCount > oldCount) {
        std::vector<Slot> added(size_t(newCount - oldCount));
        m_slots.insert(m_slots.begin() + first + oldCount, std::make_move_iterator(added.begin()),
            std::make_move_iterator(added.end()));
    } else if (newCount < oldCount) {
        m_slots.erase(m_slots.begin() + first + newCount, m_slots.begin() + first + oldCount);
    }

    measureFont();
    QTextBlock block = firstBlock;
    for (int i = first; i <= last && block.isValid(); ++i, block = block.next()) {
        Slot& slot = m_slots[size_t(i)];
        const bool fresh = i - first >= kept;
        if (!fresh && !slot.estimated) {
            slot.estimated = true;
            ++m_estimated;
        }
        slot.textWidth = float(qMax(0, block.length() - 1) * m_advance);
        slot.oneLine = false;
        // A changed paragraph keeps its height until it is measured: most edits change none.
        if (fresh)
            slot.height = float(estimate(slot));
        block.clearLayout();
        slot.hasLines = false;
    }
    if (structural || !m_tree.isBuilt() || m_tree.size() != int(m_slots.size())) {
        rebuildTree();
        noteMoved(heldTop() + m_tree.prefix(first));
    }
    return { first, last };
}

double SourceDocumentLayout::estimate(const Slot& slot) const
{
    return estimatedLines(slot.textWidth, m_frame.available, m_lineHeight);
}

void SourceDocumentLayout::documentChanged(int from, int /*charsRemoved*/, int charsAdded)
{
    // The formats this layout gave a paragraph, not a change of it. Given while the layout
    // takes a change, the news comes merged with that change, which is being taken already.
    if (m_givingFormats)
        return;
    // Usually synced when the document reported the change; not so a change reported to the
    // layout alone (a new page, font or margin), or one that grew since.
    const SyncedChange synced = std::exchange(m_synced, {});
    auto [first, last] = synced.from == from && synced.added == charsAdded
            && int(m_slots.size()) == document()->blockCount()
        ? synced.blocks
        : syncBlocks(from, charsAdded);
    const Frame frame = frameGeometry();
    if (!frame.sameLines(m_frame)) {
        const bool sameFont = frame.font == m_frame.font;
        m_frame = frame;
        measureFont();
        // The widths of the text were taken in the font of the last frame.
        const double scale = m_widthsAdvance > 0 ? m_advance / m_widthsAdvance : 1;
        m_widthsAdvance = m_advance;
        // A paragraph that fits on one line keeps its height; the others are laid out again as
        // they come into view, and measured while the user pauses.
        for (int i = 0; i < int(m_slots.size()); ++i) {
            Slot& slot = m_slots[size_t(i)];
            if (slot.hasLines) {
                document()->findBlockByNumber(i).clearLayout();
                slot.hasLines = false;
            }
            if (!sameFont) {
                slot.textWidth = float(slot.textWidth * scale);
                slot.oneLine = false;
            }
            if (slot.oneLine && slot.textWidth <= m_frame.available)
                continue;
            slot.oneLine = false;
            slot.height = float(estimate(slot));
            slot.estimated = true;
        }
        rebuildTree();
        noteMoved(0);
        Q_EMIT frameChanged();
    }
    if (!m_frame.valid) {
        report();
        return;
    }
    const double top = blockTop(first);
    if (laysOutAtOnce(first, last)) {
        QTextBlock block = document()->findBlockByNumber(first);
        for (int i = first; i <= last && block.isValid(); ++i, block = block.next())
            ensureLaidOut(block, i);
    }
    if (m_estimated > 0)
        Q_EMIT estimatesLeft();
    const double bottom = blockBottom(qMin(last + 1, int(m_slots.size()) - 1));
    if (const double movedFrom = takeMovedFrom(); movedFrom >= 0)
        Q_EMIT update(QRectF(0, qMin(top, movedFrom) - 4, kFar, kFar));
    else
        Q_EMIT update(QRectF(0, top - 4, kFar, bottom - top + 8));
    report();
}

QTextLayout* SourceDocumentLayout::ensureLaidOut(
    const QTextBlock& block, int index, Reach reach) const
{
    Slot& slot = m_slots[size_t(index)];
    QTextLayout* layout = block.layout();
    if (const int caret = caretIn(block); caret >= 0)
        reach.offset = qMax(reach.offset, caret);
    const bool fresh = !slot.hasLines || layout->lineCount() == 0;
    if (fresh || (slot.partial && !reaches(*layout, reach))) {
        const QList<QTextLayout::FormatRange> ranges = rangesOf(slot);
        // A new list of formats throws the text's shaping away: only a change sets one.
        if (fresh && layout->formats() != ranges)
            giveFormats(block, *layout, ranges);
        const double before = slot.height;
        if (fresh)
            keepShaping(*layout);
        const double height = layoutLines(*layout, slot, block.length() - 1, reach, !fresh);
        slot.hasLines = true;
        if (slot.estimated) {
            slot.estimated = false;
            --m_estimated;
        }
        if (height != before) {
            const double top = blockTop(index);
            setHeight(index, height);
            noteMoved(top);
            if (!m_settling) {
                auto* self = const_cast<SourceDocumentLayout*>(this);
                FlagScope reporting(m_reportingHeight);
                Q_EMIT self->heightChanged(top + before, height - before);
            }
        }
    }
    layout->setPosition(QPointF(0, blockTop(index)));
    return layout;
}

void SourceDocumentLayout::giveFormats(const QTextBlock& block, QTextLayout& layout,
    const QList<QTextLayout::FormatRange>& ranges) const
{
    layout.setFormats(ranges);
    // The text layout reports its new formats to the document as a change of the paragraph,
    // which the document would report with the next edit as if the text had changed there. It
    // is reported now, to this layout alone, which knows it is none.
    FlagScope giving(m_givingFormats);
    document()->markContentsDirty(block.position(), block.length());
}

void SourceDocumentLayout::layoutAround(int index) const
{
    QTextBlock block = document()->findBlockByNumber(index);
    QTextBlock above = block.previous();
    for (int i = index - 1; i >= 0 && above.isValid(); --i, above = above.previous()) {
        if (blockTop(index) - blockTop(i) > kAround)
            break;
        ensureLaidOut(above, i);
    }
    ensureLaidOut(block, index);
    const double bottom = blockBottom(index) + kAround;
    QTextBlock below = block.next();
    for (int i = index + 1; below.isValid() && blockTop(i) < bottom; ++i, below = below.next())
        ensureLaidOut(below, i);
}

double SourceDocumentLayout::layoutLines(
    QTextLayout& layout, Slot& slot, int length, Reach reach, bool more) const
{
    const auto below = [](const QTextLine& line) {
        return line.y() + line.height() + (line.leading() < 0 ? std::ceil(line.leading()) : 0);
    };
    double height = 0;
    double textWidth = 0;
    if (more) {
        // On from the lines made before.
        for (int i = 0; i < layout.lineCount(); ++i)
            textWidth += layout.lineAt(i).naturalTextWidth();
        height = below(layout.lineAt(layout.lineCount() - 1));
    } else {
        layout.setTextOption(m_frame.option);
    }
    const auto place = [&](QTextLine& line) {
        line.setLeadingIncluded(true);
        // Broken before it is placed: a tab reaches the stop it would reach at the margin.
        line.setLineWidth(m_frame.available);
        line.setPosition(QPointF(m_frame.margin, height));
        height = below(line);
        textWidth += line.naturalTextWidth();
        return height;
    };
    Lines made = makeLines(layout, length, more, reach, place);
    if (made == Lines::Stalled) {
        height = textWidth = 0;
        made = makeLines(layout, length, false, reach, place);
    }
    slot.partial = made == Lines::Some;
    slot.oneLine = layout.lineCount() == 1 && !slot.partial;
    const double rest = slot.partial ? restHeight(layout, length, height) : 0;
    slot.textWidth = float(textWidth * (height > 0 ? (height + rest) / height : 1));
    return height + rest;
}

double SourceDocumentLayout::measure(const QTextBlock& block, Slot& slot) const
{
    const int length = block.length() - 1;
    if (length > kLongestMeasured)
        return estimate(slot);
    const QString text = block.text();
    // Most lines of a source text are short ASCII: one line of the font's height, no shaping.
    if (isPlainAscii(text)) {
        const double width = text.size() * m_advance;
        if (width + m_advance <= m_frame.available) {
            slot.textWidth = float(width);
            slot.oneLine = true;
            return m_lineHeight;
        }
    }
    m_scratch->setText(text);
    return layoutLines(*m_scratch, slot);
}

void SourceDocumentLayout::setHeight(int index, double height) const
{
    Slot& slot = m_slots[size_t(index)];
    const double delta = height - slot.height;
    slot.height = float(height);
    if (delta != 0)
        m_tree.add(index, delta);
}

void SourceDocumentLayout::rebuildTree() const
{
    m_estimated = 0;
    m_tree.rebuild(int(m_slots.size()), [this](int i) {
        const Slot& slot = m_slots[size_t(i)];
        m_estimated += slot.estimated ? 1 : 0;
        return double(slot.height);
    });
    m_settleFrom = 0;
}

double SourceDocumentLayout::totalHeight() const
{
    return heldTop() + m_tree.total() + heightBelow() + m_frame.margin;
}

int SourceDocumentLayout::blockAt(qreal y) const
{
    return m_tree.indexAt(y - heldTop());
}

qreal SourceDocumentLayout::blockTop(int blockNumber) const
{
    return heldTop() + m_tree.prefix(qMax(0, blockNumber));
}

qreal SourceDocumentLayout::blockBottom(int blockNumber) const
{
    return heldTop() + m_tree.prefix(qBound(0, blockNumber + 1, int(m_slots.size())));
}

QSizeF SourceDocumentLayout::documentSize() const
{
    if (!m_frame.valid)
        return {};
    return QSizeF(m_frame.width, totalHeight());
}

QRectF SourceDocumentLayout::frameBoundingRect(QTextFrame* frame) const
{
    if (!m_frame.valid || frame != document()->rootFrame())
        return {};
    return QRectF(0, 0, m_frame.width, totalHeight());
}

QRectF SourceDocumentLayout::blockBoundingRect(const QTextBlock& block) const
{
    if (!m_frame.valid || !block.isValid())
        return {};
    syncIfStale();
    const int index = block.blockNumber();
    // A paragraph asked for alone is often about to be shown (the caret went there): its
    // neighbours are laid out too, so that showing them does not move it.
    if (m_slots[size_t(index)].estimated && !isPainting())
        layoutAround(index);
    const QTextLayout* layout = ensureLaidOut(block, index);
    qreal width = layout->boundingRect().right();
    if (layout->lineCount() == 1)
        width = qMax(width, layout->lineAt(0).naturalTextWidth());
    // The last paragraph's box reaches over the bottom margin, as a plain text view's does.
    const bool last = index == int(m_slots.size()) - 1;
    return QRectF(0, blockTop(index), width + m_frame.margin,
        m_slots[size_t(index)].height + (last ? m_frame.margin : 0));
}

QTextLayout* SourceDocumentLayout::placedLayout(const QTextBlock& block, Reach reach) const
{
    if (!m_frame.valid || !block.isValid())
        return nullptr;
    syncIfStale();
    return ensureLaidOut(block, block.blockNumber(), reach);
}

void SourceDocumentLayout::layoutArea(const QRectF& rect)
{
    if (!m_frame.valid || m_slots.empty())
        return;
    syncIfStale();
    int index = blockAt(rect.top());
    QTextBlock block = document()->findBlockByNumber(index);
    for (; block.isValid(); block = block.next(), ++index) {
        if (blockTop(index) > rect.bottom())
            break;
        ensureLaidOut(block, index, { 0, rect.bottom() - blockTop(index) });
    }
}

bool SourceDocumentLayout::settle(int budgetMs)
{
    if (!m_frame.valid || m_estimated <= 0)
        return false;
    syncIfStale();
    m_settleFrom = measureRound(
        m_settleFrom, budgetMs, 32,
        [this](const QTextBlock& block, int index) {
            Slot& slot = m_slots[size_t(index)];
            if (!slot.estimated)
                return false;
            FlagScope settling(m_settling);
            setHeight(index, measure(block, slot));
            slot.estimated = false;
            --m_estimated;
            return true;
        },
        [this] { return m_estimated <= 0; });
    // The scratch layout keeps the last text it measured.
    m_scratch->setText(QStringLiteral("x"));
    return m_estimated > 0;
}

double SourceDocumentLayout::lineHeight() const
{
    measureFont();
    return m_lineHeight;
}

std::function<double(qsizetype)> SourceDocumentLayout::heightEstimator() const
{
    measureFont();
    const double lineHeight = m_lineHeight;
    if (!m_frame.valid)
        return [lineHeight](qsizetype) { return lineHeight; };
    // As estimate() does for a paragraph's slot.
    const double available = m_frame.available;
    const double advance = m_advance;
    return [lineHeight, available, advance](qsizetype length) {
        return estimatedLines(float(double(length) * advance), available, lineHeight);
    };
}

int SourceDocumentLayout::laidOutCount() const
{
    return int(std::count_if(
        m_slots.begin(), m_slots.end(), [](const Slot& slot) { return slot.hasLines; }));
}

QList<QTextLayout::FormatRange> SourceDocumentLayout::rangesOf(const Slot& slot) const
{
    QList<QTextLayout::FormatRange> ranges;
    ranges.reserve(slot.runCount);
    for (std::uint32_t i = 0; i < slot.runCount; ++i) {
        const Run& run = slot.runs[i];
        ranges.append({ run.start, run.length, m_formats[size_t(run.format)] });
    }
    return ranges;
}

int SourceDocumentLayout::formatIndex(const QTextCharFormat& format)
{
    const auto it = std::find(m_formats.begin(), m_formats.end(), format);
    if (it != m_formats.end())
        return int(it - m_formats.begin());
    m_formats.push_back(format);
    return int(m_formats.size()) - 1;
}

bool SourceDocumentLayout::setFormats(
    const QTextBlock& block, const QList<QTextLayout::FormatRange>& formats)
{
    if (!block.isValid())
        return false;
    syncIfStale();
    const int index = block.blockNumber();
    Slot& slot = m_slots[size_t(index)];
    std::unique_ptr<Run[]> runs;
    if (!formats.isEmpty())
        runs = std::make_unique<Run[]>(size_t(formats.size()));
    for (qsizetype i = 0; i < formats.size(); ++i) {
        const QTextLayout::FormatRange& range = formats.at(i);
        runs[size_t(i)] = { range.start, range.length, formatIndex(range.format) };
    }
    const auto count = std::uint32_t(formats.size());
    if (count == slot.runCount && std::equal(runs.get(), runs.get() + count, slot.runs.get()))
        return false;
    slot.runs = std::move(runs);
    slot.runCount = count;
    if (slot.hasLines && m_frame.valid) {
        // Shown (or about to be): laid out with the new formats now, so that what the view
        // asks of its lines stays answered; the height stays, as colours have no metrics. A
        // paragraph an edit reached that the document has not told this layout of yet is laid
        // out by that edit, once with its new text and formats: a long paragraph is not analysed
        // twice for every key.
        slot.hasLines = false;
        const bool edited = m_synced.from >= 0 && index >= m_synced.blocks.first
            && index <= m_synced.blocks.second
            && m_synced.blocks.second - m_synced.blocks.first < kEditedBlocks;
        if (!edited)
            ensureLaidOut(block, index);
        Q_EMIT update(QRectF(0, blockTop(index) - 1, kFar, slot.height + 2));
    }
    return true;
}

QList<QTextLayout::FormatRange> SourceDocumentLayout::formats(const QTextBlock& block) const
{
    if (!block.isValid())
        return {};
    syncIfStale();
    return rangesOf(m_slots[size_t(block.blockNumber())]);
}

} // namespace quillon
