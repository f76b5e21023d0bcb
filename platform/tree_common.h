#pragma once
// What the two tree backends share: the temporary file names of the
// whole-file copy and the slowing of its chunks for tests. Private to
// platform/.
#include <cstdint>
#include <string>

namespace platform::tree_common {

// A fresh temporary name "~ravelund-<16 hex>.tmp", mixed from the process
// number, a clock reading and a counter of this process, so that two copies
// never pick the same name at once.
std::string temporaryName(std::uint64_t process, std::uint64_t clock);

// After each chunk copied: adds its `bytes` to the thread's ChunkCounter,
// then sleeps as long as testing::slowCopyChunks asked.
void afterChunk(std::uint64_t bytes);

// Waits while testing::holdDiskQueries holds the volume queries and listings.
void passDiskGate();
// Before a folder listing opens: counts it and passes the gate.
void beforeListing();

}  // namespace platform::tree_common
