#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace quillon;

TEST(Parallel, EveryIndexIsWorkedOnceWhateverTheCount)
{
    for (const qsizetype count : { qsizetype(0), qsizetype(1), qsizetype(3), qsizetype(1000) }) {
        std::vector<std::atomic_int> seen(static_cast<size_t>(count));
        parallelFor(count, [&](qsizetype i) { ++seen[size_t(i)]; });
        for (qsizetype i = 0; i < count; ++i)
            EXPECT_EQ(seen[size_t(i)].load(), 1) << i << " of " << count;
    }
}
