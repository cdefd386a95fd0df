// The sums of paragraph heights both document layouts keep, and of the lines of a pane's whole
// text: the top of any paragraph and the paragraph at any height, as adding up the heights one
// by one finds them.
#include "editor/layout/HeightTree.h"
#include "editor/layout/GapVector.h"
#include "editor/layout/LineHeights.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <vector>

using namespace quillon;

TEST(HeightTree, SumsAndFindsAsTheExtentsSay)
{
    QRandomGenerator random(7);
    std::vector<double> extents(1000);
    for (double& extent : extents)
        extent = random.bounded(40);
    HeightTree tree;
    EXPECT_FALSE(tree.isBuilt());
    tree.rebuild(int(extents.size()), [&](int i) { return extents[size_t(i)]; });
    for (int round = 0; round < 200; ++round) {
        const int index = random.bounded(int(extents.size()));
        const double delta = random.bounded(30) - 10.0;
        if (extents[size_t(index)] + delta >= 0) {
            extents[size_t(index)] += delta;
            tree.add(index, delta);
        }
    }
    double sum = 0;
    for (int i = 0; i < int(extents.size()); ++i) {
        ASSERT_EQ(tree.prefix(i), sum) << i;
        if (extents[size_t(i)] > 0) {
            EXPECT_EQ(tree.indexAt(sum), i);
            EXPECT_EQ(tree.indexAt(sum + extents[size_t(i)] - 0.5), i);
        }
        sum += extents[size_t(i)];
    }
    EXPECT_EQ(tree.total(), sum);
    EXPECT_EQ(tree.indexAt(-5), 0);
    EXPECT_EQ(tree.indexAt(sum + 100), int(extents.size()) - 1);
}

TEST(HeightTree, BuiltByManyThreadsItSumsBitForBitAsBuiltByOne)
{
    // A long column is built a block a thread: every sum, added in the same order, is the same
    // double, with counts just under, at and past the blocks and where threads take over.
    QRandomGenerator random(3);
    for (const int count : { 65'535, 65'536, 65'536 + 4'095, 200'003 }) {
        std::vector<float> extents(static_cast<size_t>(count));
        for (float& extent : extents)
            extent = float(random.bounded(40.0)) / 3.0F;
        const auto extentOf = [&](int i) { return double(extents[size_t(i)]); };
        HeightTree one;
        one.rebuild(count, extentOf);
        HeightTree many;
        many.rebuildAtOnce(count, extentOf);
        for (int i = 0; i <= count; ++i)
            ASSERT_EQ(many.prefix(i), one.prefix(i)) << i << " of " << count;
        for (const double y : { 0.0, one.total() / 3, one.total() - 1, one.total() + 5 })
            EXPECT_EQ(many.indexAt(y), one.indexAt(y));
    }
}

TEST(LineHeights, LinesComingAndGoingKeepEverySumAndFindAsTheHeightsSay)
{
    // Lines replaced in stretches of every size, across blocks, growing a block past its split
    // and emptying others, with heights set between: the top of every line and the line at any
    // height stay those of the heights added up one by one.
    QRandomGenerator random(5);
    std::vector<float> heights(5000);
    for (float& h : heights)
        h = float(random.bounded(4)) * 10.0F;
    LineHeights lines(int(heights.size()));
    std::copy(heights.begin(), heights.end(), lines.data());
    lines.sum();
    const auto check = [&] {
        ASSERT_EQ(lines.size(), int(heights.size()));
        double sum = 0;
        for (int i = 0; i < int(heights.size()); ++i) {
            ASSERT_DOUBLE_EQ(lines.before(i), sum) << i;
            if (heights[size_t(i)] > 0) {
                ASSERT_EQ(lines.lineAt(sum + 1), i) << i;
                ASSERT_EQ(lines.lineAt(sum + heights[size_t(i)] - 1), i) << i;
            }
            sum += heights[size_t(i)];
        }
        ASSERT_DOUBLE_EQ(lines.total(), sum);
        ASSERT_EQ(lines.lineAt(sum + 100), int(heights.size()) - 1);
        ASSERT_EQ(lines.lineAt(-5), 0);
    };
    for (int round = 0; round < 300; ++round) {
        const int n = int(heights.size());
        const int line = random.bounded(n + 1);
        const int removed = random.bounded(4) == 0 ? random.bounded(qMin(3000, n - line) + 1)
                                                   : random.bounded(qMin(2, n - line) + 1);
        const int inserted = random.bounded(8) == 0 ? random.bounded(2500) : random.bounded(3);
        const float height = float(random.bounded(3)) * 10.0F;
        heights.erase(heights.begin() + line, heights.begin() + line + removed);
        heights.insert(heights.begin() + line, size_t(inserted), height);
        lines.replace(line, removed, inserted, height);
        if (!heights.empty()) {
            const int at = random.bounded(int(heights.size()));
            heights[size_t(at)] = float(random.bounded(5)) * 10.0F;
            lines.set(at, heights[size_t(at)]);
        }
        if (round % 25 == 0)
            check();
    }
    check();
    // Every line gone, then lines again.
    lines.replace(0, lines.size(), 0, 0.0F);
    EXPECT_EQ(lines.size(), 0);
    EXPECT_EQ(lines.total(), 0.0);
    lines.replace(0, 0, 3, 7.0F);
    heights.assign(3, 7.0F);
    check();
}

TEST(GapVector, EditsAnywhereKeepTheItemsAVectorWouldHold)
{
    // Replacements near the last one and far from it, growing past the gap, pushes at the end and
    // whole reads through data() between them: the items stay those a plain vector holds.
    QRandomGenerator random(11);
    std::vector<int> plain;
    GapVector<int> gapped;
    int next = 0;
    for (int round = 0; round < 2000; ++round) {
        const size_t n = plain.size();
        const int kind = random.bounded(10);
        if (kind == 0) {
            plain.push_back(++next);
            gapped.push_back(next);
        } else if (kind == 1) {
            const int* items = gapped.data();
            ASSERT_TRUE(std::equal(plain.begin(), plain.end(), items)) << round;
        } else if (kind == 2) {
            gapped.keepRoom(size_t(random.bounded(50)));
        } else {
            const size_t at = size_t(random.bounded(int(n) + 1));
            const size_t removed = size_t(random.bounded(int(qMin<size_t>(n - at, 40)) + 1));
            std::vector<int> items(size_t(random.bounded(kind == 3 ? 300 : 4)));
            for (int& item : items)
                item = ++next;
            plain.erase(plain.begin() + ptrdiff_t(at), plain.begin() + ptrdiff_t(at + removed));
            if (kind == 4) {
                plain.insert(plain.begin() + ptrdiff_t(at), items.size(), -round);
                gapped.replace(at, removed, items.size(), -round);
            } else {
                plain.insert(plain.begin() + ptrdiff_t(at), items.begin(), items.end());
                gapped.replace(at, removed, items.begin(), items.end());
            }
        }
        ASSERT_EQ(gapped.size(), plain.size()) << round;
        for (size_t i = 0; i < plain.size(); ++i)
            ASSERT_EQ(gapped[i], plain[i]) << round << " " << i;
    }
}
