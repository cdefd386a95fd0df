#include "workspace/OffsetMap.h"

#include <QHashFunctions>

#include <algorithm>
#include <optional>
#include <vector>

namespace quillon {

namespace {

struct Line
{
    qsizetype start = 0;
    QStringView text; // with its line feed
    size_t hash = 0;
};

std::vector<Line> linesOf(QStringView text)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype feed = text.indexOf(u'\n', start);
        const qsizetype end = feed < 0 ? text.size() : feed + 1;
        const QStringView line = text.sliced(start, end - start);
        lines.push_back({ start, line, qHash(line) });
        start = end;
    }
    return lines;
}

bool sameLine(const Line& a, const Line& b)
{
    return a.hash == b.hash && a.text == b.text;
}

// The pairs of lines (index in a, index in b) a shortest edit script keeps, in order; nothing
// when the two differ in more than `maxDifferences` lines.
std::optional<std::vector<std::pair<int, int>>> commonLines(
    const std::vector<Line>& a, const std::vector<Line>& b, int maxDifferences)
{
    const int n = int(a.size());
    const int m = int(b.size());
    const int most = std::min(n + m, maxDifferences);
    const int offset = most + 1;
    std::vector<int> v(size_t(2 * most + 3), 0);
    std::vector<std::vector<int>> trace;
    for (int d = 0; d <= most; ++d) {
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1]))
                ? v[offset + k + 1]
                : v[offset + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && sameLine(a[size_t(x)], b[size_t(y)])) {
                ++x;
                ++y;
            }
            v[offset + k] = x;
            if (x < n || y < m)
                continue;
            // Walk back from the end: each step of the script ends in a run of kept lines.
            std::vector<std::pair<int, int>> kept;
            for (int step = d; step > 0; --step) {
                const std::vector<int>& previous = trace[size_t(step)];
                const int kk = x - y;
                const bool down = kk == -step
                    || (kk != step && previous[offset + kk - 1] < previous[offset + kk + 1]);
                const int prevK = down ? kk + 1 : kk - 1;
                const int prevX = previous[offset + prevK];
                const int prevY = prevX - prevK;
                const int runX = down ? prevX : prevX + 1;
                while (x > runX && y > runX - kk) {
                    --x;
                    --y;
                    kept.emplace_back(x, y);
                }
                x = prevX;
                y = prevY;
            }
            while (x > 0 && y > 0) {
                --x;
                --y;
                kept.emplace_back(x, y);
            }
            std::reverse(kept.begin(), kept.end());
            // A kept line with a copy of itself just below that the script gave up (a blank line
            // between paragraphs, say) is matched as that copy instead: the lines given up then
            // stand before it, with the change they belong to, and a place keeps to its paragraph.
            for (size_t p = kept.size(); p-- > 0;) {
                auto& [i, j] = kept[p];
                const int nextI = p + 1 < kept.size() ? kept[p + 1].first : n;
                const int nextJ = p + 1 < kept.size() ? kept[p + 1].second : m;
                for (;;) {
                    if (i + 1 < nextI && sameLine(a[size_t(i + 1)], a[size_t(i)]))
                        ++i;
                    else if (j + 1 < nextJ && sameLine(b[size_t(j + 1)], b[size_t(j)]))
                        ++j;
                    else
                        break;
                }
            }
            return kept;
        }
    }
    return std::nullopt;
}

} // namespace

OffsetMap OffsetMap::between(QStringView before, QStringView after)
{
    OffsetMap map;
    if (before == after)
        return map;
    const std::vector<Line> a = linesOf(before);
    const std::vector<Line> b = linesOf(after);
    // The lines both texts start and end with need no search.
    size_t head = 0;
    while (head < a.size() && head < b.size() && sameLine(a[head], b[head]))
        ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head
        && sameLine(a[a.size() - 1 - tail], b[b.size() - 1 - tail]))
        ++tail;
    const std::vector<Line> midA(a.begin() + qsizetype(head), a.end() - qsizetype(tail));
    const std::vector<Line> midB(b.begin() + qsizetype(head), b.end() - qsizetype(tail));
    const qsizetype oldFrom = head < a.size() ? a[head].start : before.size();
    const qsizetype newFrom = head < b.size() ? b[head].start : after.size();
    const qsizetype oldTo = midA.empty() ? oldFrom : midA.back().start + midA.back().text.size();
    const qsizetype newTo = midB.empty() ? newFrom : midB.back().start + midB.back().text.size();

    const auto kept = commonLines(midA, midB, kMaxDifferences);
    if (!kept) {
        map.add(before.sliced(oldFrom, oldTo - oldFrom), after.sliced(newFrom, newTo - newFrom),
            oldFrom, newFrom);
        return map;
    }
    // Each run of lines between two kept ones is one changed stretch.
    qsizetype oldAt = oldFrom;
    qsizetype newAt = newFrom;
    for (const auto& [i, j] : *kept) {
        const Line& oldLine = midA[size_t(i)];
        const Line& newLine = midB[size_t(j)];
        map.add(before.sliced(oldAt, oldLine.start - oldAt),
            after.sliced(newAt, newLine.start - newAt), oldAt, newAt);
        oldAt = oldLine.start + oldLine.text.size();
        newAt = newLine.start + newLine.text.size();
    }
    map.add(before.sliced(oldAt, oldTo - oldAt), after.sliced(newAt, newTo - newAt), oldAt, newAt);
    return map;
}

void OffsetMap::add(QStringView before, QStringView after, qsizetype oldStart, qsizetype newStart)
{
    // Narrowed to the characters that differ.
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(before.size(), after.size());
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix
        && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const qsizetype oldLength = before.size() - prefix - suffix;
    const qsizetype newLength = after.size() - prefix - suffix;
    if (oldLength == 0 && newLength == 0)
        return;
    m_changes.append({ oldStart + prefix, oldLength, newStart + prefix, newLength });
}

qsizetype OffsetMap::map(qsizetype offset) const
{
    // The last change that starts at or before the offset.
    const auto after = std::upper_bound(m_changes.cbegin(), m_changes.cend(), offset,
        [](qsizetype at, const Change& change) { return at < change.oldStart; });
    if (after == m_changes.cbegin())
        return offset;
    const Change& change = *(after - 1);
    const qsizetype oldEnd = change.oldStart + change.oldLength;
    if (offset >= oldEnd)
        return offset - oldEnd + change.newStart + change.newLength;
    return change.newStart + std::min(offset - change.oldStart, change.newLength);
}

} // namespace quillon
