#include "platform/threads.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/power.h"

namespace platform {
namespace {

struct ThreadEntry {
  bool running = true;
  bool paused = false;
  bool stopRequested = false;
};

// One lock guards the table and every entry's flags; the condition variable
// wakes paused workers and those waiting for threads to end.
struct ThreadTable {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<int, std::shared_ptr<ThreadEntry>> entries;
  int lastNumber = 0;
  bool failNext = false;
};

ThreadTable& table() {
  static ThreadTable* instance = new ThreadTable;  // outlives detached workers at exit
  return *instance;
}

// A plain pointer: a thread-local with a destructor would run it as the thread
// leaves, which can be after the process has begun to go away. The entry lives
// as long as the thread's procedure, which holds it.
thread_local ThreadEntry* currentEntry = nullptr;

std::shared_ptr<ThreadEntry> find(int thread) {
  auto& t = table();
  const auto it = t.entries.find(thread);
  return it == t.entries.end() ? nullptr : it->second;
}

}  // namespace

int startThread(std::function<int(int)> procedure, int parameter) {
  auto& t = table();
  std::unique_lock lock(t.mutex);
  if (t.failNext) {
    t.failNext = false;
    return 0;
  }
  auto entry = std::make_shared<ThreadEntry>();
  const int number = ++t.lastNumber;
  t.entries[number] = entry;
  lock.unlock();
  try {
    std::thread([entry, procedure = std::move(procedure), parameter]() mutable {
      currentEntry = entry.get();
      // The machine stays awake exactly while a job thread runs.
      holdSystemAwake(true);
      {
        // What the procedure holds is released before the thread counts as
        // ended: the program may quit as soon as it sees that, and memory
        // freed while the process goes away can crash it.
        const std::function<int(int)> work = std::move(procedure);
        work(parameter);
      }
      holdSystemAwake(false);
      currentEntry = nullptr;
      auto& tt = table();
      std::lock_guard done(tt.mutex);
      entry->running = false;
      tt.changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    lock.lock();
    t.entries.erase(number);
    return 0;
  }
  return number;
}

bool threadRunning(int thread) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  const auto entry = find(thread);
  return entry && entry->running;
}

void pauseThread(int thread) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  if (const auto entry = find(thread)) entry->paused = true;
}

void resumeThread(int thread) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  if (const auto entry = find(thread)) entry->paused = false;
  t.changed.notify_all();
}

void stopThread(int thread) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  if (const auto entry = find(thread)) entry->stopRequested = true;
  t.changed.notify_all();
}

bool threadCheckpoint() {
  ThreadEntry* const entry = currentEntry;
  if (!entry) return true;
  auto& t = table();
  std::unique_lock lock(t.mutex);
  t.changed.wait(lock, [&] { return !entry->paused || entry->stopRequested; });
  return !entry->stopRequested;
}

namespace testing {

void failNextThreadStart() {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  t.failNext = true;
}

bool waitAllThreads(int timeoutMs) {
  auto& t = table();
  std::unique_lock lock(t.mutex);
  return t.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (const auto& [number, entry] : t.entries) {
      if (entry->running) return false;
    }
    return true;
  });
}

}  // namespace testing
}  // namespace platform
