#include "platform/FreedMemory.h"

#include <atomic>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quillon::FreedMemory {

namespace {

std::atomic<int> g_timesGivenBack { 0 };

} // namespace

void keepReturnable()
{
#if defined(__GLIBC__)
    // Setting either limit also stops the allocator from moving them by itself.
    mallopt(M_MMAP_THRESHOLD, int(kOwnMappingFrom));
    mallopt(M_TRIM_THRESHOLD, int(kKeptAtPoolEnd));
#endif
}

void giveBack()
{
#if defined(__GLIBC__)
    // Every arena, and the free pages inside them too, not only the top of the main heap.
    malloc_trim(0);
#endif
    ++g_timesGivenBack;
}

int timesGivenBack()
{
    return g_timesGivenBack;
}

} // namespace quillon::FreedMemory
