#include "platform/threads.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/power.h"

namespace platform {
namespace {

// One lock guards the table and every entry's flags; the condition variable
// wakes paused workers and those waiting for threads to end. Every entry
// holds them too: a thread left running at exit still finds them after the
// table has gone.
struct Sync {
  std::mutex mutex;
  std::condition_variable changed;
};

struct ThreadEntry {
  explicit ThreadEntry(std::shared_ptr<Sync> tableSync) : sync(std::move(tableSync)) {}
  const std::shared_ptr<Sync> sync;
  bool running = true;
  bool paused = false;
  bool stopRequested = false;
  bool held = false;  // waiting at a checkpoint because it is paused
};

struct Slot {
  std::shared_ptr<ThreadEntry> entry;
  std::thread thread;
};

// The table owns its threads: an entry is forgotten, and its thread joined,
// once the thread has ended.
struct ThreadTable {
  ThreadTable() = default;
  ThreadTable(const ThreadTable&) = delete;
  ThreadTable& operator=(const ThreadTable&) = delete;
  ~ThreadTable();

  std::shared_ptr<Sync> sync = std::make_shared<Sync>();
  std::map<int, Slot> slots;
  int lastNumber = 0;
  bool failNext = false;
};

// The table goes at the program's exit, after the program has stopped its
// threads and waited for them as long as it would: those that have ended are
// joined, and one still running is left to the process's end.
ThreadTable::~ThreadTable() {
  std::lock_guard lock(sync->mutex);
  for (auto& [number, slot] : slots) {
    if (slot.entry->running) {
      slot.thread.detach();
    } else {
      slot.thread.join();
    }
  }
}

ThreadTable& table() {
  static ThreadTable instance;
  return instance;
}

// The table under its lock, as every call but the worker's checkpoint takes
// it. The threads found ended are forgotten and joined at once, under the
// lock, so that no caller sees an entry gone before its thread has left. An
// ended thread has nothing left to do but leave: it never takes the lock
// again, nor waits for the one that joins it.
class LockedTable {
 public:
  LockedTable() : table_(table()), lock_(table_.sync->mutex) { forgetEnded(); }

  ThreadTable* operator->() { return &table_; }

  // The entry of a thread that runs, or null.
  ThreadEntry* find(int thread) {
    const auto it = table_.slots.find(thread);
    return it == table_.slots.end() ? nullptr : it->second.entry.get();
  }

  // Waits until `done()` holds, each time the table changes, the threads
  // found ended forgotten first; false after `timeout`.
  template <typename Predicate>
  bool waitUntil(std::chrono::milliseconds timeout, Predicate done) {
    return table_.sync->changed.wait_for(lock_, timeout, [&] {
      forgetEnded();
      return done();
    });
  }

  // Waits until no thread of the table runs; false after `timeout`.
  bool waitUntilNoneRuns(std::chrono::milliseconds timeout) {
    return waitUntil(timeout, [&] { return table_.slots.empty(); });
  }

  void wakeAll() { table_.sync->changed.notify_all(); }

 private:
  void forgetEnded() {
    for (auto it = table_.slots.begin(); it != table_.slots.end();) {
      if (it->second.entry->running) {
        ++it;
        continue;
      }
      it->second.thread.join();
      it = table_.slots.erase(it);
    }
  }

  ThreadTable& table_;
  std::unique_lock<std::mutex> lock_;
};

// A plain pointer: a thread-local with a destructor would run it as the thread
// leaves. The entry lives as long as the thread, which holds it.
thread_local ThreadEntry* currentEntry = nullptr;

void runThread(const std::shared_ptr<ThreadEntry>& entry, std::function<int(int)> procedure,
               int parameter) {
  currentEntry = entry.get();
  // The machine stays awake exactly while a job thread runs.
  holdSystemAwake(true);
  {
    // What the procedure holds is released before the thread counts as
    // ended: the program may quit as soon as it sees that.
    const std::function<int(int)> work = std::move(procedure);
    work(parameter);
  }
  holdSystemAwake(false);
  currentEntry = nullptr;
  std::lock_guard done(entry->sync->mutex);
  entry->running = false;
  entry->sync->changed.notify_all();
}

}  // namespace

int startThread(std::function<int(int)> procedure, int parameter) {
  LockedTable t;
  if (t->failNext) {
    t->failNext = false;
    return 0;
  }
  const int number = ++t->lastNumber;
  // The entry is in the table before its thread starts; the thread counts as
  // ended only under the table's lock, which is held until it is set down.
  Slot& slot = t->slots[number];
  slot.entry = std::make_shared<ThreadEntry>(t->sync);
  try {
    slot.thread = std::thread(runThread, slot.entry, std::move(procedure), parameter);
  } catch (const std::system_error&) {
    t->slots.erase(number);
    return 0;
  }
  return number;
}

bool threadRunning(int thread) {
  LockedTable t;
  return t.find(thread) != nullptr;
}

void pauseThread(int thread) {
  LockedTable t;
  if (ThreadEntry* const entry = t.find(thread)) entry->paused = true;
}

void resumeThread(int thread) {
  LockedTable t;
  if (ThreadEntry* const entry = t.find(thread)) entry->paused = false;
  t.wakeAll();
}

void stopThread(int thread) {
  LockedTable t;
  if (ThreadEntry* const entry = t.find(thread)) entry->stopRequested = true;
  t.wakeAll();
}

// Only the worker's own entry is touched: a thread left running at exit may
// come here after the table has gone.
bool threadCheckpoint() {
  ThreadEntry* const entry = currentEntry;
  if (!entry) return true;
  Sync& sync = *entry->sync;
  std::unique_lock lock(sync.mutex);
  entry->held = entry->paused && !entry->stopRequested;
  if (entry->held) sync.changed.notify_all();
  sync.changed.wait(lock, [&] { return !entry->paused || entry->stopRequested; });
  entry->held = false;
  return !entry->stopRequested;
}

namespace testing {

void failNextThreadStart() {
  LockedTable t;
  t->failNext = true;
}

// The checkpoint tells the table when its thread is held, and an ending
// thread tells it too: the wait is on those changes, not on the clock.
bool waitUntilHeld(int thread, int timeoutMs) {
  LockedTable t;
  bool held = false;
  t.waitUntil(std::chrono::milliseconds(timeoutMs), [&] {
    const ThreadEntry* const entry = t.find(thread);
    held = entry != nullptr && entry->held;
    return entry == nullptr || held;
  });
  return held;
}

int threadsStartedOnceNoneRuns(int timeoutMs) {
  LockedTable t;
  if (!t.waitUntilNoneRuns(std::chrono::milliseconds(timeoutMs))) return -1;
  return t->lastNumber;
}

bool waitAllThreads(int timeoutMs) {
  LockedTable t;
  return t.waitUntilNoneRuns(std::chrono::milliseconds(timeoutMs));
}

}  // namespace testing
}  // namespace platform
