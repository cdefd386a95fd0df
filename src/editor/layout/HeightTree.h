#pragma once

#include "platform/Parallel.h"

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
    // The same tree, a long one built by several threads at once: `extentOf` is called from
    // each of them. The sums come out exactly as rebuild() makes them.
    template <typename ExtentOf> void rebuildAtOnce(int count, ExtentOf&& extentOf)
    {
        if (count < kAtOnce) {
            rebuild(count, extentOf);
            return;
        }
        m_tree.assign(std::size_t(count) + 1, 0.0);
        // Entries go in aligned blocks of kBlock. Every node but a block's last sums entries of
        // its own block, so each block builds those alone, adding in the order rebuild() adds;
        // the blocks' last nodes, which sum earlier blocks too, follow in order.
        const int blocks = (count + kBlock - 1) / kBlock;
        parallelFor(blocks, [&](qsizetype block) {
            const int top = int(block + 1) * kBlock;
            const int last = top < count ? top : count;
            for (int i = int(block) * kBlock + 1; i <= last; ++i) {
                if (i == top)
                    continue;
                m_tree[std::size_t(i)] += extentOf(i - 1);
                const int parent = i + (i & -i);
                if (parent < top && parent <= count)
                    m_tree[std::size_t(parent)] += m_tree[std::size_t(i)];
            }
        });
        for (int top = kBlock; top <= count; top += kBlock) {
            double sum = 0;
            for (int step = (top & -top) / 2; step >= 1; step /= 2)
                sum += m_tree[std::size_t(top - step)];
            m_tree[std::size_t(top)] = sum + extentOf(top - 1);
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
    static constexpr int kAtOnce = 64 * 1024;
    static constexpr int kBlock = 4096; // a power of two
    std::vector<double> m_tree; // 1-based
};

} // namespace quillon
