#pragma once

#include <cstddef>

namespace quillon::FreedMemory {

// Blocks from this size on get a mapping of their own, returned to the system the moment they
// are freed; a pool keeps at most this much free space at its end. A lower first limit would
// map, and fault in page by page, each of the many mid-sized buffers loading makes and drops.
constexpr std::size_t kOwnMappingFrom = 1024 * 1024;
constexpr std::size_t kKeptAtPoolEnd = 512 * 1024;

// Sets the allocator up so that what the program frees can go back to the system: call it first
// thing in main, before much is allocated. Left as it comes, the allocator raises both limits
// above after the first large block it frees, up to tens of megabytes: the buffers of later
// documents then come from the shared pools, between small objects that live on, and the free
// space at the end of each thread's pool is never handed back, not even by giveBack().
void keepReturnable();

// Hands the memory freed so far back to the system. The allocator keeps what the program frees
// in its pools (one per thread that allocated) for later use, so without this a process that
// once held the views of large documents stays that large after they go. It walks the whole
// heap: call it once much has been freed, at a quiet moment, not after every small release.
void giveBack();

// How many times giveBack() ran in this process.
int timesGivenBack();

} // namespace quillon::FreedMemory
