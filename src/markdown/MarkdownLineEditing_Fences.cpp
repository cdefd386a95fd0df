#include "markdown/MarkdownLineEditing.h"
#include "platform/Parallel.h"
#include "platform/TextLines.h"

#include <functional>
#include <optional>
#include <vector>

namespace quillon {

namespace {

struct FenceRun
{
    QChar character;
    qsizetype length = 0;
    QString info; // trimmed, lower-cased
};

std::optional<FenceRun> fenceRun(QStringView line)
{
    qsizetype i = 0;
    while (i < 3 && i < line.size() && line[i] == u' ')
        ++i;
    if (i >= line.size())
        return std::nullopt;
    const QChar c = line[i];
    if (c != u'`' && c != u'~')
        return std::nullopt;
    qsizetype end = i;
    while (end < line.size() && line[end] == c)
        ++end;
    if (end - i < 3)
        return std::nullopt;
    const QStringView info = line.mid(end).trimmed();
    if (c == u'`' && info.contains(u'`'))
        return std::nullopt;
    return FenceRun { c, end - i, info.toString().toLower() };
}

// A line that may open or close a block.
struct FenceLine
{
    TextRange range; // line break included
    FenceRun run;
};

// The fence lines of text[from, to), in order (`from` a line start). Found from their fence
// characters: a line is read only where one of its first four characters is ` or ~, so prose,
// the bulk of a text, is never walked line by line.
class FenceLineFinder
{
public:
    FenceLineFinder(QStringView text, qsizetype from, qsizetype to)
        : m_text(text)
        , m_from(from)
        , m_to(to)
        , m_searched { from, from }
    {
    }

    // The next fence line, if one starts at or before `until`: a search that stops at an offset
    // reads no further than it.
    std::optional<FenceLine> next(qsizetype until)
    {
        // A fence character stands among the first four of its line.
        const qsizetype bound = qMin(m_to, until + 4);
        while (m_from < bound) {
            // A stretch at a time: neither character is looked for far past the other's next.
            const qsizetype window = qMin(bound, m_from + kSearchStretch);
            const qsizetype tick = nextOf(0, u'`', window);
            const qsizetype tilde = nextOf(1, u'~', window);
            if (tick < 0 && tilde < 0) {
                m_from = window;
                continue;
            }
            const qsizetype hit = tilde < 0 || (tick >= 0 && tick < tilde) ? tick : tilde;
            qsizetype start = hit;
            while (start > 0 && hit - start < 3 && m_text[start - 1] == u' ')
                --start;
            m_from = hit + 1;
            if (start > 0 && !textlines::isLineBreak(m_text[start - 1]))
                continue;
            if (start > until) {
                // Not this search's: the next one that reaches further finds it again.
                m_from = start;
                return std::nullopt;
            }
            // The first fence character of its line: no other on it can begin a fence.
            const textlines::LineBounds line = textlines::lineStartingAt(m_text, start);
            m_from = qMax(m_from, line.end);
            const TextRange range { start, line.end - start };
            if (std::optional<FenceRun> run = fenceRun(m_text.mid(start, range.length)))
                return FenceLine { range, std::move(*run) };
        }
        return std::nullopt;
    }

private:
    static constexpr qsizetype kSearchStretch = 4096;

    // Where the next `c` at or after m_from stands before `bound`, or -1: each character's
    // occurrences, and the stretches without one, are looked through once.
    qsizetype nextOf(int k, QChar c, qsizetype bound)
    {
        if (m_next[k] >= m_from)
            return m_next[k] < bound ? m_next[k] : -1;
        const qsizetype from = m_next[k] < 0 ? qMax(m_from, m_searched[k]) : m_from;
        if (from >= bound)
            return -1;
        m_next[k] = m_text.first(bound).indexOf(c, from);
        m_searched[k] = bound;
        return m_next[k];
    }

    QStringView m_text;
    qsizetype m_from;
    qsizetype m_to;
    qsizetype m_next[2] = { -1, -1 };
    qsizetype m_searched[2];
};

// Pairs fence lines, taken in text order, into blocks.
class FencePairing
{
public:
    explicit FencePairing(qsizetype textLength)
        : m_length(textLength)
    {
    }
    bool isOpen() const { return m_open.has_value(); }
    // Takes the next fence line; a block it closes, if any.
    std::optional<MarkdownLineEditing::FencedBlock> take(const FenceLine& line)
    {
        if (!m_open) {
            m_open = line.run;
            m_openLine = line.range;
            return std::nullopt;
        }
        const FenceRun& run = line.run;
        if (run.character != m_open->character || run.length < m_open->length
            || !run.info.isEmpty())
            return std::nullopt;
        MarkdownLineEditing::FencedBlock block = opened(line.range.location);
        block.range.length = line.range.end() - m_openLine.location;
        block.closeFenceLine = line.range;
        m_open.reset();
        return block;
    }
    // The block still open at the text's end, running to it.
    std::optional<MarkdownLineEditing::FencedBlock> finish() const
    {
        if (!m_open)
            return std::nullopt;
        MarkdownLineEditing::FencedBlock block = opened(m_length);
        block.range.length = m_length - m_openLine.location;
        return block;
    }

private:
    MarkdownLineEditing::FencedBlock opened(qsizetype contentEnd) const
    {
        MarkdownLineEditing::FencedBlock block;
        block.range.location = m_openLine.location;
        block.openFenceLine = m_openLine;
        const qsizetype contentStart = qMin(m_openLine.end(), m_length);
        block.contentRange
            = TextRange { contentStart, qMax<qsizetype>(0, contentEnd - contentStart) };
        block.infoString = m_open->info;
        block.fence = QString(m_open->length, m_open->character);
        return block;
    }

    qsizetype m_length;
    std::optional<FenceRun> m_open;
    TextRange m_openLine;
};

// Visits the blocks in text order until `visit` returns false. Outside a block, scanning stops at
// the first line that starts after `limit`.
void scanFencedBlocks(QStringView text, qsizetype limit,
    const std::function<bool(const MarkdownLineEditing::FencedBlock&)>& visit)
{
    FenceLineFinder finder(text, 0, text.size());
    FencePairing pairing(text.size());
    // Lines between fences change nothing: outside a block, the search ends at the limit.
    while (
        const std::optional<FenceLine> line = finder.next(pairing.isOpen() ? text.size() : limit)) {
        if (const std::optional<MarkdownLineEditing::FencedBlock> block = pairing.take(*line)) {
            if (!visit(*block))
                return;
        }
    }
    if (const std::optional<MarkdownLineEditing::FencedBlock> block = pairing.finish())
        visit(*block);
}

// A long text is searched for fence lines a stretch of about this many units a thread.
constexpr qsizetype kFenceStretch = 256 * 1024;

} // namespace

QList<MarkdownLineEditing::FencedBlock> MarkdownLineEditing::fencedBlocks(QStringView text)
{
    // The fence lines of a long text are found a stretch of lines a thread, and paired in order.
    const std::vector<qsizetype> cuts = lineStretchCuts(text, kFenceStretch);
    std::vector<std::vector<FenceLine>> found(cuts.size() - 1);
    parallelFor(qsizetype(found.size()), [&](qsizetype i) {
        FenceLineFinder finder(text, cuts[size_t(i)], cuts[size_t(i) + 1]);
        while (std::optional<FenceLine> line = finder.next(text.size()))
            found[size_t(i)].push_back(std::move(*line));
    });
    QList<FencedBlock> blocks;
    FencePairing pairing(text.size());
    for (const std::vector<FenceLine>& stretch : found) {
        for (const FenceLine& line : stretch) {
            if (std::optional<FencedBlock> block = pairing.take(line))
                blocks.append(std::move(*block));
        }
    }
    if (std::optional<FencedBlock> block = pairing.finish())
        blocks.append(std::move(*block));
    return blocks;
}

std::optional<MarkdownLineEditing::FencedBlock> MarkdownLineEditing::firstFencedBlock(
    QStringView text)
{
    std::optional<FencedBlock> first;
    scanFencedBlocks(text, text.size(), [&](const FencedBlock& block) {
        first = block;
        return false;
    });
    return first;
}

bool MarkdownLineEditing::isInsideFencedCode(
    QStringView text, qsizetype location, qsizetype outsideFrom)
{
    if (location < 0 || location > text.size())
        return false;
    if (outsideFrom > 0 && outsideFrom <= location) {
        text = text.sliced(outsideFrom);
        location -= outsideFrom;
    }
    bool inside = false;
    scanFencedBlocks(text, location, [&](const FencedBlock& block) {
        if (block.range.location > location)
            return false;
        if (block.range.contains(location)
            || (location == block.range.end() && !block.closeFenceLine)) {
            inside = true;
            return false;
        }
        return true;
    });
    return inside;
}

} // namespace quillon
