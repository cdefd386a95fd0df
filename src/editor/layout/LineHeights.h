#pragma once

#include "editor/layout/GapVector.h"
#include "editor/layout/HeightTree.h"

#include <vector>

namespace quillon {

// The height of every line of a long text, summed in blocks of lines: the top of any line and
// the line at any height are found in a block's work, and so are lines that come and go (a line
// break typed or deleted), which a tree over the lines themselves would have to build again
// whole. The blocks' sums are kept in a HeightTree.
class LineHeights
{
public:
    // Blocks are cut at about this many lines and split when twice as long.
    static constexpr int kBlock = 1024;

    // `count` lines, each of no height.
    explicit LineHeights(int count = 0);

    int size() const { return int(m_heights.size()); }
    float at(int line) const { return m_heights[size_t(line)]; }

    // For setting many heights at once: resize(), then write through data(), then sum().
    void resize(int count)
    {
        // With room for an eighth more lines, as the pane's line starts have.
        m_heights.reserve(size_t(count) + spareRoom(size_t(count)));
        m_heights.resize(size_t(count));
    }
    float* data() { return m_heights.data(); }
    // Sums every height again, in blocks cut anew, and keeps room for an eighth more lines.
    void sum();

    void set(int line, float height);
    // Lines [line, line + removed) became `inserted` lines of height `height`.
    void replace(int line, int removed, int inserted, float height);

    // The height of the lines before `line` (of them all for a line past the end).
    double before(int line) const;
    double total() const { return m_blocks.total(); }
    // The line whose extent holds `y` (measured from the first line's top); the first line for
    // a y above it, the last for one below them all.
    int lineAt(double y) const;

private:
    int blockOf(int line) const;
    // After the blocks' lengths changed: their starts, the sums of blocks [from, to) and the
    // tree over the sums.
    void restart(int from, int to);

    GapVector<float> m_heights; // its gap where lines last came or went
    std::vector<int> m_lengths; // lines in each block
    std::vector<int> m_starts; // the first line of each block
    std::vector<double> m_sums; // of each block
    HeightTree m_blocks; // over m_sums
};

} // namespace quillon
