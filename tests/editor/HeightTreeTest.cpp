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
