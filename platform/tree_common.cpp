// The parts of the tree calls that do not depend on the system.
#include "platform/tree_common.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/tree.h"

namespace platform {
namespace {
std::atomic<int> chunkDelayMs{0};
thread_local std::atomic<std::int64_t>* chunkCounter = nullptr;

}  // namespace

namespace tree_common {

std::string temporaryName(std::uint64_t process, std::uint64_t clock) {
  static std::atomic<std::uint64_t> counter{0};
  const std::uint64_t value =
      (process << 40) ^ clock ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  char digits[kCopyTemporaryDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
  std::string name(kCopyTemporaryPrefix);
  name += digits;
  name += kCopyTemporarySuffix;
  return name;
}

void afterChunk(std::uint64_t bytes) {
  if (chunkCounter != nullptr) {
    chunkCounter->fetch_add(static_cast<std::int64_t>(bytes), std::memory_order_relaxed);
  }
  if (const int delay = chunkDelayMs.load(std::memory_order_relaxed); delay > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  }
}

}  // namespace tree_common

ChunkCounter::ChunkCounter(std::atomic<std::int64_t>& counter) : previous_(chunkCounter) {
  chunkCounter = &counter;
}

ChunkCounter::~ChunkCounter() { chunkCounter = previous_; }

bool sameFolder(std::string_view first, std::string_view second) {
  PathIdentity one;
  PathIdentity two;
  return folderIdentity(first, one) && folderIdentity(second, two) && one == two;
}

namespace testing {
void slowCopyChunks(int milliseconds) { chunkDelayMs.store(milliseconds); }

}  // namespace testing

}  // namespace platform
