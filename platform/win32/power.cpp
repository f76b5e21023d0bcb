// The machine kept awake while a worker thread runs.
#include "platform/power.h"

#include <windows.h>

namespace platform {

void holdSystemAwake(bool held) {
  SetThreadExecutionState(held ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

}  // namespace platform
