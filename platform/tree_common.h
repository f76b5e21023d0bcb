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

// Sleeps as long as testing::slowCopyChunks asked, after each chunk copied.
void afterChunk();

}  // namespace platform::tree_common
