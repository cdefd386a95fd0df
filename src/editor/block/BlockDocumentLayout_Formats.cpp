// The character formats of the paragraphs: put on a paragraph's text layout as it is laid out,
// measured without keeping them for the paragraphs that are not shown, and given back far from
// the view.
#include "editor/block/BlockDocumentLayout.h"

#include "editor/document/FlagScope.h"

#include <QTextBlock>
#include <QTextDocument>

namespace quillon {

namespace {

// Paragraphs that may hold lines and formats from the source before those far from the view
// give them back, and how far from it they may stay (a few screens each way).
constexpr int kKeptFormatted = 3000;
constexpr double kKeptDistance = 4000;
// Measurements kept for paragraphs alike, at most.
constexpr qsizetype kMeasuredLimit = 20000;

} // namespace

void BlockDocumentLayout::setFormatSource(FormatSource source)
{
    m_formatSource = std::move(source);
}

void BlockDocumentLayout::putFormats(QTextLayout& layout, const QTextBlock& block,
    const QList<QTextLayout::FormatRange>& formats) const
{
    if (formats.isEmpty() && layout.formats().isEmpty())
        return;
    layout.setFormats(formats);
    if (const int i = block.blockNumber();
        &layout == block.layout() && i >= 0 && i < int(m_slots.size()))
        m_slots[size_t(i)].linesStamp = ++m_lastStamp;
    // The text engine tells the document that the paragraph changed, and the document would
    // pass that on with the next edit as part of its range, which would then reach over every
    // paragraph laid out meanwhile. The news is taken back: at once, or, while the document is
    // in the middle of a change (which then carries it), on the next turn of the event loop.
    const int from = block.position();
    const int to = from + block.length();
    m_formatNewsFrom = m_formatNewsFrom < 0 ? from : qMin(m_formatNewsFrom, from);
    m_formatNewsTo = qMax(m_formatNewsTo, to);
    if (!m_inChange) {
        takeBackFormatNews();
    } else if (!m_formatNewsQueued) {
        m_formatNewsQueued = true;
        auto* self = const_cast<BlockDocumentLayout*>(this);
        QMetaObject::invokeMethod(
            self, [self] { self->takeBackFormatNews(); }, Qt::QueuedConnection);
    }
}

void BlockDocumentLayout::takeBackFormatNews() const
{
    m_formatNewsQueued = false;
    if (m_formatNewsFrom < 0)
        return;
    // Reported back at once, and recognised (unless other news of the document joined it).
    FlagScope takingBack(m_takingBackFormatNews);
    const int from = m_formatNewsFrom;
    const int length = qMin(m_formatNewsTo, document()->characterCount()) - from;
    if (length > 0)
        document()->markContentsDirty(from, length);
    m_formatNewsFrom = m_formatNewsTo = -1;
}

bool BlockDocumentLayout::isOwnFormatNews(int from, int charsRemoved, int charsAdded) const
{
    return m_takingBackFormatNews && from == m_formatNewsFrom && charsRemoved == charsAdded
        && from + charsAdded == qMin(m_formatNewsTo, document()->characterCount());
}

double BlockDocumentLayout::measure(const QTextBlock& block, Slot& slot) const
{
    // Laying a long paragraph out would hold the window far longer than a step may: it keeps
    // its estimate until it is shown.
    if (block.length() > longParagraph())
        return estimate(slot);
    if (!m_formatSource || slot.formatted) {
        const double height = layoutBlock(block, *block.layout(), slot);
        // Only the height is kept: the lines are made again when the paragraph is shown.
        QTextBlock(block).clearLayout();
        slot.hasLines = false;
        return height;
    }
    size_t formatsKey = 0;
    const QList<QTextLayout::FormatRange> formats = m_formatSource(block, &formatsKey);
    // An object (a table) is as large as what it draws, which its text does not tell.
    const QString text = block.text();
    const bool alike = !text.contains(QChar::ObjectReplacementCharacter);
    const size_t key = qHashMulti(qHash(text), formatsKey, metricsOf(block).linesKey);
    if (alike) {
        const auto it = m_measured.constFind(key);
        if (it != m_measured.constEnd()) {
            slot.textWidth = it->textWidth;
            slot.lineAdvance = it->lineAdvance;
            m_contentsWidth = qMax(m_contentsWidth, it->widest);
            return it->height;
        }
    }
    // A text layout of the paragraph's own, as its block would make it, with the formats it
    // would get: measured, then dropped with them.
    QTextLayout scratch(block);
    putFormats(scratch, block, formats);
    double widest = 0;
    const double height = layoutBlock(block, scratch, slot, &widest);
    if (alike) {
        if (m_measured.size() > kMeasuredLimit)
            m_measured.clear();
        m_measured.insert(key, { height, widest, slot.textWidth, slot.lineAdvance });
    }
    return height;
}

void BlockDocumentLayout::dropFormats(const QTextBlock& block, Slot& slot) const
{
    if (!slot.formatted)
        return;
    slot.formatted = false;
    --m_formattedCount;
    putFormats(*block.layout(), block, {});
}

void BlockDocumentLayout::releaseOutside(double top, double bottom) const
{
    if (m_formattedCount <= kKeptFormatted)
        return;
    const int n = int(m_slots.size());
    for (int i = 0; i < n && m_formattedCount > 0; ++i) {
        Slot& slot = m_slots[size_t(i)];
        if (!slot.formatted)
            continue;
        const double y = blockTop(i);
        if (y + slot.height >= top - kKeptDistance && y <= bottom + kKeptDistance)
            continue;
        QTextBlock block = document()->findBlockByNumber(i);
        dropFormats(block, slot);
        block.clearLayout();
        slot.hasLines = false;
    }
}

} // namespace quillon
