#pragma once

#include <cstddef>
#include <vector>

namespace quillon {

// The extents of a column of paragraphs (each one's height, with the gap above it) summed in a
// Fenwick tree: the top of any paragraph and the paragraph at any height are found in O(log n),
// and a paragraph whose height changes moves every later one in O(log n).
class HeightTree
{
public:
    // Whether rebuild() has been called since the tree was made.
    bool isBuilt() const { return !m_tree.empty(); }
    int size() const { return m_tree.empty() ? 0 : int(m_tree.size()) - 1; }

    // Builds the tree over `count` extents, `extentOf(i)` for each, in O(n).
    template <typename ExtentOf> void rebuild(int count, ExtentOf&& extentOf)
    {
        m_tree.assign(std::size_t(count) + 1, 0.0);
        for (int i = 1; i <= count; ++i) {
            m_tree[std::size_t(i)] += extentOf(i - 1);
            const int parent = i + (i & -i);
            if (parent <= count)
                m_tree[std::size_t(parent)] += m_tree[std::size_t(i)];
        }
    }
    // Adds `delta` to the extent of entry `index`.
    void add(int index, double delta)
    {
        const int n = size();
        for (int i = index + 1; i <= n; i += i & -i)
            m_tree[std::size_t(i)] += delta;
    }
    // The sum of the extents before entry `index` (all of them for an index past the end).
    double prefix(int index) const
    {
        double sum = 0;
        for (int i = index < size() ? index : size(); i > 0; i -= i & -i)
            sum += m_tree[std::size_t(i)];
        return sum;
    }
    double total() const { return prefix(size()); }
    // The entry whose extent holds `y` (measured from the first one's top); the first entry for
    // a y above it, the last for one below them all.
    int indexAt(double y) const
    {
        const int n = size();
        if (n == 0)
            return 0;
        int position = 0;
        double rest = y;
        int step = 1;
        while (step * 2 <= n)
            step *= 2;
        for (; step > 0; step /= 2) {
            const int next = position + step;
            if (next <= n && m_tree[std::size_t(next)] <= rest) {
                position = next;
                rest -= m_tree[std::size_t(next)];
            }
        }
        return position < n - 1 ? position : n - 1;
    }

private:
    std::vector<double> m_tree; // 1-based
};

} // namespace quillon
