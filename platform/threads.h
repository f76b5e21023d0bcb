#pragma once
// The thread table: worker threads numbered from 1, guarded by one lock. The
// table owns its threads: once a thread has ended, the next call that takes
// the table forgets its entry and joins it. At the program's exit the table
// joins those that have ended and leaves one still running (one that did not
// stop in the time the program waited for it) to the process's end.
// Pausing and stopping are cooperative: a worker calls threadCheckpoint()
// between files and between chunks of a file, so a paused or stopping worker
// never holds a lock or a half-written file that anyone else needs.
#include <functional>

namespace platform {

// Starts `procedure(parameter)` on a new thread; its number, or 0 on failure.
int startThread(std::function<int(int)> procedure, int parameter);
// True while the thread exists and has not ended (a paused thread is running);
// once it answers false, the thread has left.
bool threadRunning(int thread);
void pauseThread(int thread);
void resumeThread(int thread);
// Asks the thread to stop at its next checkpoint.
void stopThread(int thread);

// Called by a worker: blocks while its thread is paused; false once it has been
// asked to stop. On a thread outside the table it answers true at once.
bool threadCheckpoint();

namespace testing {
// The next startThread fails, as when the system refuses a thread.
void failNextThreadStart();
// Waits until the paused thread `thread` has reached a checkpoint and waits
// there; false when it ends first or on timeout.
bool waitUntilHeld(int thread, int timeoutMs);
// Waits until no thread of the table runs and answers, from that same moment,
// how many threads were ever started (a count that only grows); -1 on timeout.
int threadsStartedOnceNoneRuns(int timeoutMs);
// Waits (without pumping) until no thread of the table runs, each one joined;
// false on timeout.
bool waitAllThreads(int timeoutMs);
}  // namespace testing

}  // namespace platform
