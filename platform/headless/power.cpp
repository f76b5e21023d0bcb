// The headless record of the requests to keep the machine awake. It lives
// apart from the recorded world: worker threads may still hold a request
// while a test resets the world.
#include "platform/power.h"

#include <mutex>
#include <type_traits>

#include "platform/headless/headless.h"

namespace platform {
namespace {

struct WakeRecord {
  std::mutex mutex;
  headless::WakeRequests requests;
};

// A worker left running at exit still lets its request go as it ends: the
// record has nothing to destroy, so it stays usable to the process's end.
WakeRecord& record() {
  static WakeRecord instance;
  static_assert(std::is_trivially_destructible_v<WakeRecord>);
  return instance;
}

}  // namespace

void holdSystemAwake(bool held) {
  WakeRecord& r = record();
  std::lock_guard lock(r.mutex);
  if (held) {
    ++r.requests.holders;
    ++r.requests.made;
  } else if (r.requests.holders > 0) {
    --r.requests.holders;
  }
}

namespace headless {

WakeRequests wakeRequests() {
  WakeRecord& r = record();
  std::lock_guard lock(r.mutex);
  return r.requests;
}

}  // namespace headless
}  // namespace platform
