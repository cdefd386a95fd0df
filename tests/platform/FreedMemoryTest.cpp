#include "platform/FreedMemory.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace quillon;

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define QUILLON_GLIBC_POOLS 1
// Bytes held in mappings of their own, and in the pools of all threads.
size_t mappedBytes()
{
    return mallinfo2().hblkhd;
}

size_t pooledBytes()
{
    return mallinfo2().arena;
}

// What the views of a closed document freed: about the largest buffer the allocator moves its
// limits for, which leads it, left as it comes, to keep later ones in its pools.
void freeALargeBuffer()
{
    QByteArray large(30 * kMegabyte, 'x');
    large.clear();
}
#endif

} // namespace

// A document's buffers freed after other large ones go back to the system at once, whichever
// thread made them.
TEST(FreedMemory, LargeBuffersGoBackWhenFreed)
{
#if !defined(QUILLON_GLIBC_POOLS)
    GTEST_SKIP() << "the allocator's pools are those of the GNU C library";
#else
    FreedMemory::keepReturnable();
    freeALargeBuffer();

    const size_t mappedBefore = mappedBytes();
    QByteArray text(24 * kMegabyte, 'x');
    EXPECT_GE(mappedBytes(), mappedBefore + size_t(24 * kMegabyte));
    text.clear();
    EXPECT_EQ(mappedBytes(), mappedBefore);

    // Many blocks under the size that gets a mapping of its own, made and freed by a worker
    // (as analysis and search run): its pool shrinks back as they go.
    size_t pooledStart = 0;
    size_t pooledFull = 0;
    size_t pooledEmptied = 0;
    std::thread worker([&] {
        std::vector<QByteArray> blocks;
        blocks.reserve(128);
        pooledStart = pooledBytes();
        for (int i = 0; i < 128; ++i)
            blocks.emplace_back(128 * 1024, char('a' + i % 26));
        pooledFull = pooledBytes();
        while (!blocks.empty())
            blocks.pop_back();
        pooledEmptied = pooledBytes();
    });
    worker.join();
    ASSERT_GE(pooledFull, pooledStart + 8 * kMegabyte);
    EXPECT_LE(pooledEmptied, pooledStart + kMegabyte)
        << "the worker's pool kept " << (pooledEmptied - pooledStart) << " bytes";
#endif
}
