// The headless record of the requests to keep the machine awake. It lives
// apart from the recorded world: worker threads may still hold a request
// while a test resets the world.
#include "platform/power.h"

#include <mutex>

#include "platform/headless/headless.h"

namespace platform {
namespace {

struct WakeRecord {
  std::mutex mutex;
  headless::WakeRequests requests;
};

WakeRecord& record() {
  static auto* instance = new WakeRecord;  // outlives detached workers at exit
  return *instance;
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
