#include "editor/layout/LineHeights.h"

#include "platform/Parallel.h"

#include <algorithm>

namespace quillon {

namespace {

// A column this long is summed by several threads, a stretch of blocks each.
constexpr int kSumAtOnce = 64 * 1024;

} // namespace

LineHeights::LineHeights(int count)
    : m_heights(size_t(count), 0.0F)
{
    sum();
}

void LineHeights::sum()
{
    const int n = size();
    m_heights.keepRoom(spareRoom(size_t(n)));
    const int blocks = (n + kBlock - 1) / kBlock;
    m_lengths.assign(size_t(blocks), kBlock);
    if (blocks > 0)
        m_lengths.back() = n - (blocks - 1) * kBlock;
    m_sums.assign(size_t(blocks), 0.0);
    restart(0, blocks);
}

void LineHeights::restart(int from, int to)
{
    m_starts.resize(m_lengths.size());
    int at = 0;
    for (size_t b = 0; b < m_lengths.size(); ++b) {
        m_starts[b] = at;
        at += m_lengths[b];
    }
    const auto sumBlock = [this](qsizetype b) {
        double sum = 0;
        const int start = m_starts[size_t(b)];
        for (int i = start; i < start + m_lengths[size_t(b)]; ++i)
            sum += m_heights[size_t(i)];
        m_sums[size_t(b)] = sum;
    };
    if (qsizetype(to - from) * kBlock >= kSumAtOnce) {
        parallelFor(to - from, [&](qsizetype k) { sumBlock(from + k); });
    } else {
        for (int b = from; b < to; ++b)
            sumBlock(b);
    }
    m_blocks.rebuildAtOnce(int(m_sums.size()), [this](int b) { return m_sums[size_t(b)]; });
}

int LineHeights::blockOf(int line) const
{
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), line);
    return std::max(0, int(after - m_starts.begin()) - 1);
}

void LineHeights::set(int line, float height)
{
    const double delta = double(height) - double(m_heights[size_t(line)]);
    if (delta == 0)
        return;
    m_heights[size_t(line)] = height;
    const int b = blockOf(line);
    m_sums[size_t(b)] += delta;
    m_blocks.add(b, delta);
}

void LineHeights::replace(int line, int removed, int inserted, float height)
{
    const int n = size();
    line = std::clamp(line, 0, n);
    removed = std::clamp(removed, 0, n - line);
    if (removed == 0 && inserted == 0)
        return;
    m_heights.replace(size_t(line), size_t(removed), size_t(inserted), height);
    if (m_lengths.empty()) {
        sum();
        return;
    }
    // The removed lines leave the blocks they were in, from the one holding `line` on; the new
    // ones join that block.
    const int first = blockOf(line);
    int last = first;
    for (int at = line, left = removed; left > 0; ++last) {
        const int end = m_starts[size_t(last)] + m_lengths[size_t(last)];
        const int here = std::min(left, end - at);
        m_lengths[size_t(last)] -= here;
        left -= here;
        at += here;
    }
    last = std::max(last, first + 1); // one past the blocks touched
    m_lengths[size_t(first)] += inserted;
    // Empty blocks go; a block grown past twice the length is cut into even parts.
    std::vector<int> lengths;
    for (int b = first; b < last; ++b) {
        const int length = m_lengths[size_t(b)];
        const int parts = length > 2 * kBlock ? (length + kBlock - 1) / kBlock : 1;
        for (int p = 0; p < parts && length > 0; ++p)
            lengths.push_back(length / parts + (p < length % parts ? 1 : 0));
    }
    m_lengths.erase(m_lengths.begin() + first, m_lengths.begin() + last);
    m_lengths.insert(m_lengths.begin() + first, lengths.begin(), lengths.end());
    m_sums.erase(m_sums.begin() + first, m_sums.begin() + last);
    m_sums.insert(m_sums.begin() + first, lengths.size(), 0.0);
    restart(first, first + int(lengths.size()));
}

double LineHeights::before(int line) const
{
    if (line <= 0 || m_starts.empty())
        return 0;
    if (line >= size())
        return total();
    const int b = blockOf(line);
    double sum = m_blocks.prefix(b);
    for (int i = m_starts[size_t(b)]; i < line; ++i)
        sum += m_heights[size_t(i)];
    return sum;
}

int LineHeights::lineAt(double y) const
{
    if (m_starts.empty())
        return 0;
    const int b = m_blocks.indexAt(y);
    double rest = y - m_blocks.prefix(b);
    const int start = m_starts[size_t(b)];
    const int end = start + m_lengths[size_t(b)];
    for (int i = start; i < end; ++i) {
        if (rest < m_heights[size_t(i)])
            return i;
        rest -= m_heights[size_t(i)];
    }
    return end - 1;
}

} // namespace quillon
