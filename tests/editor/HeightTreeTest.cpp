// The sums of paragraph heights both document layouts keep: the top of any paragraph and the
// paragraph at any height, as adding up the heights one by one finds them.
#include "editor/layout/HeightTree.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

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
