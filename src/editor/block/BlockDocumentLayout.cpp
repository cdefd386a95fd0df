#include "editor/block/BlockDocumentLayout.h"

#include "editor/document/FlagScope.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

// Beyond every coordinate the view can show.
constexpr qreal kFar = 1e9;
// How far around a paragraph asked for alone its neighbours are laid out: more than a screen.
constexpr double kAround = 1500;

// Lengths as the text engine keeps them, in 64ths of a pixel, so that sums stay exact.
double fx(double value)
{
    return std::round(value * 64.0) / 64.0;
}

Qt::Alignment visualAlignment(Qt::LayoutDirection direction, Qt::Alignment alignment)
{
    if (!(alignment & Qt::AlignHorizontal_Mask))
        alignment |= Qt::AlignLeft;
    if (!(alignment & Qt::AlignAbsolute) && (alignment & (Qt::AlignLeft | Qt::AlignRight))) {
        if (direction == Qt::RightToLeft)
            alignment ^= (Qt::AlignLeft | Qt::AlignRight);
        alignment |= Qt::AlignAbsolute;
    }
    return alignment;
}

struct LineHeights
{
    double advance = 0; // to the next line
    double bottom = 0; // of this line's box
    double adjustment = 0; // raises the line within a fixed height
};

LineHeights lineHeights(const QTextBlockFormat& format, const QTextLine& line, double scale)
{
    LineHeights h;
    const double raw = std::ceil(line.ascent() + line.descent() + line.leading());
    h.advance = fx(format.lineHeight(raw, scale));
    h.bottom = fx(format.lineHeight(line.height(), scale));
    const int type = format.lineHeightType();
    if (type == QTextBlockFormat::FixedHeight) {
        const double fourFifths = std::trunc(h.advance * 64 * 4 / 5) / 64;
        h.adjustment = fx(line.ascent() + qMax(line.leading(), qreal(0))) - fourFifths;
    } else if (type == QTextBlockFormat::MinimumHeight) {
        h.adjustment = fx(line.height()) - h.advance;
    }
    return h;
}

} // namespace

BlockDocumentLayout::BlockDocumentLayout(QTextDocument* document)
    : LazyTextLayout(document)
{
    // Connected before any view's handler, so that handlers that measure during the change see
    // the paragraphs as they now are.
    connect(document, &QTextDocument::contentsChange, this, [this](int from, int, int added) {
        m_inChange = true; // until the layout hears of it
        syncBlocks(from, added);
    });
}

BlockDocumentLayout::Frame BlockDocumentLayout::frameGeometry() const
{
    Frame frame;
    const QSizeF page = document()->pageSize();
    if (page.isNull())
        return frame;
    const QTextFrameFormat format = document()->rootFrame()->frameFormat();
    const double border = fx(format.border());
    const double padding = fx(format.padding());
    const double width = fx(format.width().value(qMax<qreal>(0, page.width())));
    // The frame's margins stand on whole pixels, as the text engine's own layout puts them.
    const double left = std::round(format.leftMargin());
    const double right = std::round(format.rightMargin());
    frame.left = left + border + padding;
    frame.contentWidth = width - 2 * (border + padding) - left - right;
    frame.top = std::round(format.topMargin()) + border + padding;
    frame.bottom = std::round(format.bottomMargin()) + border + padding;
    frame.width = width;
    // Lengths in the formats are in points of a 96 dpi screen.
    if (const QPaintDevice* device = paintDevice(); device && device->logicalDpiY() > 0)
        frame.scale = device->logicalDpiY() / 96.0;
    frame.valid = true;
    return frame;
}

std::pair<int, int> BlockDocumentLayout::syncBlocks(int from, int length) const
{
    const QTextDocument* doc = document();
    const int n = doc->blockCount();
    const int m = int(m_slots.size());
    // A new width or column reaches every paragraph but changes none of them: documentChanged
    // lays them all out again without looking at each.
    if (n == m && m_tree.isBuilt() && from <= 0 && from + length >= doc->characterCount() - 1
        && !(frameGeometry() == m_frame))
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
    if (newCount > oldCount)
        m_slots.insert(m_slots.begin() + first + oldCount, size_t(newCount - oldCount), Slot {});
    else if (newCount < oldCount)
        m_slots.erase(m_slots.begin() + first + newCount, m_slots.begin() + first + oldCount);

    QTextBlock block = firstBlock;
    for (int i = first; i <= last && block.isValid(); ++i, block = block.next()) {
        Slot& slot = m_slots[size_t(i)];
        const bool fresh = i - first >= kept;
        if (!fresh && !slot.estimated) {
            slot.estimated = true;
            ++m_estimated;
        }
        describe(slot, block, fresh);
        // The formats were made for the paragraph's text and styling as they were.
        dropFormats(block, slot);
        block.clearLayout();
        slot.hasLines = false;
    }
    if (structural || !m_tree.isBuilt() || m_tree.size() != int(m_slots.size())) {
        rebuildTree();
        noteMoved(heldTop() + prefix(first));
    } else {
        // A new margin moves what follows as a new height does.
        for (int i = first; i <= qMin(last + 1, n - 1); ++i)
            if (setExtent(i))
                noteMoved(heldTop() + prefix(i));
    }
    return { first, last };
}

void BlockDocumentLayout::describe(Slot& slot, const QTextBlock& block, bool fresh) const
{
    if (m_rawLineHeight <= 0 || document()->defaultFont() != m_metricsFont) {
        m_metricsFont = document()->defaultFont();
        const QFontMetricsF metrics(m_metricsFont);
        m_rawLineHeight = std::ceil(metrics.ascent() + metrics.descent() + metrics.leading());
        m_charWidth = metrics.averageCharWidth();
        m_formatMetrics.clear();
        m_measured.clear();
    }
    const FormatMetrics& metrics = metricsOf(block);
    slot.topMargin = metrics.topMargin;
    slot.bottomMargin = metrics.bottomMargin;
    slot.sideMargins = metrics.sideMargins;
    if (!fresh)
        return;
    slot.lineAdvance = metrics.lineAdvance;
    slot.textWidth = float(qMax(0, block.length() - 1) * m_charWidth);
    slot.height = estimate(slot);
    slot.estimated = true;
}

const BlockDocumentLayout::FormatMetrics& BlockDocumentLayout::metricsOf(
    const QTextBlock& block) const
{
    // Paragraphs share a handful of formats: what the slots need of one is read once.
    const QTextBlockFormat format = block.blockFormat();
    auto it = m_formatMetrics.find(block.blockFormatIndex());
    if (it != m_formatMetrics.end() && it->format == format && it->scale == m_frame.scale)
        return *it;
    if (m_formatMetrics.size() > 1024)
        m_formatMetrics.clear();
    FormatMetrics metrics;
    metrics.format = format;
    metrics.scale = m_frame.scale;
    metrics.topMargin = float(format.topMargin());
    metrics.bottomMargin = float(format.bottomMargin());
    metrics.sideMargins = float(format.leftMargin() + format.rightMargin()
        + format.indent() * document()->indentWidth() + qMax<qreal>(0, format.textIndent()));
    metrics.lineAdvance = float(format.lineHeight(m_rawLineHeight, m_frame.scale));
    // What of the format decides where lines break and how high they are.
    metrics.linesKey = qHashMulti(0, format.leftMargin(), format.rightMargin(), format.textIndent(),
        format.indent(), format.lineHeight(), format.lineHeightType(),
        int(format.layoutDirection()), int(format.alignment()), format.nonBreakableLines(),
        format.tabPositions().size());
    for (const QTextOption::Tab& tab : format.tabPositions())
        metrics.linesKey = qHashMulti(metrics.linesKey, tab.position, int(tab.type));
    return *m_formatMetrics.insert(block.blockFormatIndex(), metrics);
}

double BlockDocumentLayout::estimateLength(qsizetype length) const
{
    if (m_charWidth <= 0 || m_rawLineHeight <= 0)
        return 20;
    // Before the view has a width, a paragraph is guessed as one line: not one per character.
    if (!m_frame.valid || m_frame.contentWidth < 10 * m_charWidth)
        return m_rawLineHeight * 1.5;
    const double available = m_frame.contentWidth;
    const double lines = qMax(1.0, std::ceil(double(length) * m_charWidth / available));
    // Paragraphs stand apart by about half a line.
    return lines * m_rawLineHeight * 1.5;
}

double BlockDocumentLayout::estimateTable(int markdownLines) const
{
    // A row of cells: a line of text and its padding; the separator line draws no row.
    const double line = m_rawLineHeight > 0 ? m_rawLineHeight : 16;
    return qMax(1, markdownLines - 1) * (line + 12) + line * 0.5;
}

double BlockDocumentLayout::estimate(const Slot& slot) const
{
    const double available = qMax(1.0, m_frame.contentWidth - slot.sideMargins);
    const double lines = qMax(1.0, std::ceil(slot.textWidth / available));
    return fx(lines * slot.lineAdvance);
}

void BlockDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    if (isOwnFormatNews(from, charsRemoved, charsAdded))
        return;
    m_inChange = true;
    relayout(from, charsAdded);
    m_inChange = false;
}

void BlockDocumentLayout::relayout(int from, int charsAdded)
{
    // Usually done already when the document reported the change; doing it again costs little.
    auto [first, last] = syncBlocks(from, charsAdded);
    const Frame frame = frameGeometry();
    if (!(frame == m_frame)) {
        // A new width or column: every paragraph is laid out again as it comes into view; until
        // then its height is guessed from what its text measured.
        m_frame = frame;
        m_measured.clear();
        for (int i = 0; i < int(m_slots.size()); ++i) {
            Slot& slot = m_slots[size_t(i)];
            slot.height = estimate(slot);
            slot.estimated = true;
            if (slot.hasLines) {
                document()->findBlockByNumber(i).clearLayout();
                slot.hasLines = false;
            }
        }
        rebuildTree();
        m_contentsWidth = 0;
        noteMoved(0);
        Q_EMIT frameChanged();
    }
    if (!m_frame.valid) {
        report();
        return;
    }
    const double top = heldTop() + prefix(first);
    if (laysOutAtOnce(first, last)) {
        // A long paragraph's lines reach where it changed.
        QTextBlock block = document()->findBlockByNumber(first);
        for (int i = first; i <= last && block.isValid(); ++i, block = block.next())
            ensureLaidOut(block, i, { qMax(0, from - block.position()), 0 });
    }
    if (m_estimated > 0)
        Q_EMIT estimatesLeft();
    const int n = int(m_slots.size());
    const double bottom = heldTop() + prefix(qMin(last + 1, n));
    if (const double movedFrom = takeMovedFrom(); movedFrom >= 0) {
        Q_EMIT update(QRectF(0, qMin(top, movedFrom) - 4, kFar, kFar));
    } else {
        Q_EMIT update(QRectF(0, top - 4, kFar, bottom - top + 8));
    }
    report();
}

QTextLayout* BlockDocumentLayout::ensureLaidOut(
    const QTextBlock& block, int index, Reach reach) const
{
    Slot& slot = m_slots[size_t(index)];
    QTextLayout* layout = block.layout();
    if (const int caret = caretIn(block); caret >= 0)
        reach.offset = qMax(reach.offset, caret);
    const bool fresh = slot.estimated || layout->lineCount() == 0;
    if (fresh || (slot.partial && !reaches(*layout, reach))) {
        if (fresh && m_formatSource && !slot.formatted) {
            putFormats(*layout, block, m_formatSource(block, nullptr));
            slot.formatted = true;
            ++m_formattedCount;
        }
        const double before = slot.height;
        slot.height = layoutBlock(block, *layout, slot, nullptr, reach, !fresh);
        slot.hasLines = true;
        if (slot.estimated) {
            slot.estimated = false;
            --m_estimated;
        }
        if (slot.height != before) {
            const double top = heldTop() + prefix(index);
            const int next = qMin(index + 2, int(m_slots.size()));
            const double oldEnd = heldTop() + prefix(next);
            setExtent(index);
            if (index + 1 < int(m_slots.size()))
                setExtent(index + 1);
            noteMoved(top);
            if (!m_settling) {
                auto* self = const_cast<BlockDocumentLayout*>(this);
                Q_EMIT self->heightChanged(
                    top + slot.extent - (slot.height - before), heldTop() + prefix(next) - oldEnd);
            }
        }
    }
    layout->setPosition(QPointF(m_frame.left, blockTop(index)));
    return layout;
}

void BlockDocumentLayout::layoutAround(int index) const
{
    QTextBlock block = document()->findBlockByNumber(index);
    QTextBlock above = block.previous();
    for (int i = index - 1; i >= 0 && above.isValid(); --i, above = above.previous()) {
        if (blockTop(index) - blockTop(i) > kAround)
            break;
        ensureLaidOut(above, i);
    }
    ensureLaidOut(block, index);
    const double bottom = blockTop(index) + m_slots[size_t(index)].height + kAround;
    QTextBlock below = block.next();
    for (int i = index + 1; below.isValid() && blockTop(i) < bottom; ++i, below = below.next())
        ensureLaidOut(below, i);
}

quint32 BlockDocumentLayout::linesStamp(const QTextBlock& block) const
{
    const int i = block.blockNumber();
    return i >= 0 && i < int(m_slots.size()) ? m_slots[size_t(i)].linesStamp : 0;
}

double BlockDocumentLayout::layoutBlock(const QTextBlock& block, QTextLayout& textLayout,
    Slot& slot, double* widest, Reach reach, bool more) const
{
    QTextLayout* layout = &textLayout;
    if (layout == block.layout())
        slot.linesStamp = ++m_lastStamp;
    const QTextBlockFormat format = block.blockFormat();
    const Qt::LayoutDirection direction = block.textDirection();
    const QTextDocument* doc = document();

    QTextOption option = doc->defaultTextOption();
    option.setTextDirection(direction);
    option.setTabs(format.tabPositions());
    Qt::Alignment alignment = option.alignment();
    if (format.hasProperty(QTextFormat::BlockAlignment))
        alignment = format.alignment();
    option.setAlignment(visualAlignment(direction, alignment));
    if (format.nonBreakableLines() || doc->pageSize().width() < 0)
        option.setWrapMode(QTextOption::ManualWrap);
    if (!more) {
        layout->setTextOption(option);
        keepShaping(*layout);
    }
    const bool wordOrAnywhere = option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere;

    const bool rtl = direction == Qt::RightToLeft;
    const auto [leftMargin, rightMargin] = marginsOf(block);
    const double l = m_frame.left + leftMargin;
    const double r = m_frame.left + m_frame.contentWidth - rightMargin;
    const double textIndent = fx(format.textIndent());

    slot.topMargin = float(format.topMargin());
    slot.bottomMargin = float(format.bottomMargin());
    slot.sideMargins = float(leftMargin + rightMargin + qMax(0.0, textIndent));

    double y = 0;
    double bottom = 0;
    double textWidth = 0;
    int lines = 0;
    if (more) {
        // On from the lines made before, as if they had just been made.
        lines = layout->lineCount();
        for (int i = 0; i < lines; ++i)
            textWidth += layout->lineAt(i).naturalTextWidth();
        const QTextLine last = layout->lineAt(lines - 1);
        const LineHeights heights = lineHeights(format, last, m_frame.scale);
        const double lastY = last.y() + heights.adjustment;
        bottom = lastY + heights.bottom;
        y = lastY + heights.advance;
    }
    const auto place = [&](QTextLine& line) {
        line.setLeadingIncluded(true);
        double left = l;
        double right = r;
        if (lines == 0) {
            if (rtl)
                right -= textIndent;
            else
                left += textIndent;
        }
        line.setLineWidth(right - left);
        // Something wider than the line (a table, a long word): broken anywhere, else overflowing.
        if (fx(line.naturalTextWidth()) > right - left) {
            line.setLineWidth(right - left);
            if (fx(line.naturalTextWidth()) > right - left) {
                if (wordOrAnywhere) {
                    option.setWrapMode(QTextOption::WrapAnywhere);
                    layout->setTextOption(option);
                }
                line.setLineWidth(qMax<qreal>(line.naturalTextWidth(), right - left));
                if (wordOrAnywhere) {
                    option.setWrapMode(QTextOption::WordWrap);
                    layout->setTextOption(option);
                }
            }
        }
        const LineHeights heights = lineHeights(format, line, m_frame.scale);
        line.setPosition(QPointF(left - m_frame.left, y - heights.adjustment));
        bottom = y + heights.bottom;
        y += heights.advance;
        textWidth += line.naturalTextWidth();
        const double lineRight = fx(line.x() + line.naturalTextWidth()) + rightMargin;
        m_contentsWidth = qMax(m_contentsWidth, lineRight);
        if (widest)
            *widest = qMax(*widest, lineRight);
        ++lines;
        return y;
    };
    const int length = block.length() - 1;
    Lines made = makeLines(*layout, length, more, reach, place);
    if (made == Lines::Stalled) {
        y = bottom = textWidth = 0;
        lines = 0;
        layout->setTextOption(option);
        made = makeLines(*layout, length, false, reach, place);
    }
    y = qMax(y, bottom);
    slot.partial = made == Lines::Some;
    const double rest = slot.partial ? fx(restHeight(*layout, length, y)) : 0;
    // Estimates take the text of lines not made yet as being as wide as that of those made.
    if (slot.partial && lines > 0)
        textWidth += textWidth / lines * (rest / (y / lines));
    slot.textWidth = float(textWidth);
    slot.lineAdvance = float(lines > 0 ? y / lines : y);
    return y + rest;
}

BlockDocumentLayout::Margins BlockDocumentLayout::marginsOf(const QTextBlock& block) const
{
    const QTextBlockFormat format = block.blockFormat();
    const QTextDocument* doc = document();
    double extraMargin = 0;
    if (doc->defaultTextOption().flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        extraMargin = fx(QFontMetricsF(block.charFormat().font()).horizontalAdvance(QChar(0x21B5)));
    qreal indentLevel = format.indent();
    if (const auto* list = qobject_cast<QTextList*>(doc->objectForFormat(format)))
        indentLevel += list->format().indent();
    const double indent = fx(indentLevel * m_frame.scale * doc->indentWidth());
    const bool rtl = block.textDirection() == Qt::RightToLeft;
    return { fx(format.leftMargin()) + (rtl ? extraMargin : indent),
        fx(format.rightMargin()) + (rtl ? indent : extraMargin) };
}

qreal BlockDocumentLayout::lineWidth(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    if (!m_frame.valid || !block.isValid())
        return std::numeric_limits<qreal>::max();
    const auto [left, right] = marginsOf(block);
    const double textIndent = qMax(0.0, fx(block.blockFormat().textIndent()));
    return qMax(1.0, m_frame.contentWidth - left - right - textIndent);
}

double BlockDocumentLayout::gapAbove(int index) const
{
    if (index <= 0)
        return 0;
    return fx(qMax(m_slots[size_t(index)].topMargin, m_slots[size_t(index) - 1].bottomMargin)
        * m_frame.scale);
}

bool BlockDocumentLayout::setExtent(int index) const
{
    Slot& slot = m_slots[size_t(index)];
    const double extent = gapAbove(index) + slot.height;
    const double delta = extent - slot.extent;
    if (delta == 0)
        return false;
    slot.extent = extent;
    m_tree.add(index, delta);
    return true;
}

void BlockDocumentLayout::rebuildTree() const
{
    m_estimated = 0;
    m_formattedCount = 0;
    m_tree.rebuild(int(m_slots.size()), [this](int i) {
        Slot& slot = m_slots[size_t(i)];
        slot.extent = gapAbove(i) + slot.height;
        m_estimated += slot.estimated ? 1 : 0;
        m_formattedCount += slot.formatted ? 1 : 0;
        return slot.extent;
    });
    m_settleFrom = 0;
}

double BlockDocumentLayout::prefix(int index) const
{
    return m_tree.prefix(index);
}

int BlockDocumentLayout::slotAt(double y) const
{
    return m_tree.indexAt(y);
}

int BlockDocumentLayout::blockAt(qreal y) const
{
    return slotAt(y - heldTop());
}

qreal BlockDocumentLayout::blockTop(int blockNumber) const
{
    if (blockNumber < 0 || blockNumber >= int(m_slots.size()))
        return 0;
    const Slot& slot = m_slots[size_t(blockNumber)];
    return heldTop() + prefix(blockNumber) + slot.extent - slot.height;
}

qreal BlockDocumentLayout::blockBottom(int blockNumber) const
{
    return heldTop() + prefix(qBound(0, blockNumber + 1, int(m_slots.size())));
}

double BlockDocumentLayout::frameWidth() const
{
    // Lines wider than the column (a wide table) widen the frame, as they do in the text
    // engine's own layout.
    return m_frame.width + qMax(0.0, m_contentsWidth - m_frame.contentWidth);
}

double BlockDocumentLayout::totalHeight() const
{
    return heldTop() + prefix(int(m_slots.size())) + heightBelow() + m_frame.bottom;
}

QSizeF BlockDocumentLayout::documentSize() const
{
    if (!m_frame.valid)
        return {};
    return QSizeF(frameWidth(), totalHeight());
}

QRectF BlockDocumentLayout::frameBoundingRect(QTextFrame* frame) const
{
    if (!m_frame.valid || frame != document()->rootFrame())
        return {};
    return QRectF(0, 0, frameWidth(), totalHeight());
}

QRectF BlockDocumentLayout::blockBoundingRect(const QTextBlock& block) const
{
    if (!m_frame.valid || !block.isValid() || !block.isVisible())
        return {};
    syncIfStale();
    const int index = block.blockNumber();
    // A paragraph asked for alone is often about to be shown (the caret went there): its
    // neighbours are laid out too, so that showing them does not move it.
    if (m_slots[size_t(index)].estimated && !isPainting())
        layoutAround(index);
    const QTextLayout* layout = ensureLaidOut(block, index);
    QRectF rect = layout->boundingRect();
    rect.moveTopLeft(layout->position());
    // The lines not made yet are as high as their estimate.
    if (m_slots[size_t(index)].partial)
        rect.setHeight(m_slots[size_t(index)].height);
    return rect;
}

QTextLayout* BlockDocumentLayout::placedLayout(const QTextBlock& block, Reach reach) const
{
    if (!m_frame.valid || !block.isValid())
        return nullptr;
    syncIfStale();
    return ensureLaidOut(block, block.blockNumber(), reach);
}

void BlockDocumentLayout::layoutArea(const QRectF& rect)
{
    if (!m_frame.valid || m_slots.empty())
        return;
    syncIfStale();
    int index = blockAt(rect.top());
    QTextBlock block = document()->findBlockByNumber(index);
    for (; block.isValid(); block = block.next(), ++index) {
        if (heldTop() + prefix(index) > rect.bottom())
            break;
        ensureLaidOut(block, index, { 0, rect.bottom() - blockTop(index) });
    }
    releaseOutside(rect.top(), rect.bottom());
}

bool BlockDocumentLayout::settle(int budgetMs)
{
    if (!m_frame.valid || m_estimated <= 0)
        return false;
    syncIfStale();
    const int n = int(m_slots.size());
    m_settleFrom = measureRound(
        m_settleFrom, budgetMs, 16,
        [&](const QTextBlock& block, int index) {
            Slot& slot = m_slots[size_t(index)];
            if (!slot.estimated)
                return false;
            FlagScope settling(m_settling);
            slot.height = measure(block, slot);
            slot.estimated = false;
            --m_estimated;
            setExtent(index);
            if (index + 1 < n)
                setExtent(index + 1);
            return true;
        },
        [this] { return m_estimated <= 0; });
    return m_estimated > 0;
}

} // namespace quillon
