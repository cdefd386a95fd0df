#pragma once

namespace quillon::FreedMemory {

// Hands the memory freed so far back to the system. The allocator keeps what the program frees
// in its pools (one per thread that allocated) for later use, so without this a process that
// once held the views of large documents stays that large after they go. It walks the whole
// heap: call it once much has been freed, at a quiet moment, not after every small release.
void giveBack();

// How many times giveBack() ran in this process.
int timesGivenBack();

} // namespace quillon::FreedMemory
