#pragma once
// Keeping the machine awake while the program works. The thread table asks it
// of each worker thread for as long as the thread runs (a scan, a copy, its
// measurement, a verification), so the request lasts exactly while a job
// thread runs, whatever way the thread ends.

namespace platform {

// Called on a worker thread: `held` asks the system not to go to sleep while
// this thread works (the display stays free to switch off); false lets go of
// the request. Win32: SetThreadExecutionState(ES_CONTINUOUS |
// ES_SYSTEM_REQUIRED), a request the system keeps per thread and drops when
// the thread ends; the headless backend records it
// (platform::headless::wakeRequests).
void holdSystemAwake(bool held);

}  // namespace platform
