// The headless backend's recorded world and the carrying of calls and posted
// work to the program's UI thread.
#include "platform/headless/world.h"

#include <algorithm>

#include "platform/lasting.h"

namespace platform::headless {

// Never destroyed: a worker left running at exit may still show something
// (with the program gone, posted work and window calls run on the worker
// itself), and destroying the program's thread unjoined, where a test left it
// behind, would abort the process.
World& world() { return lasting<World>(); }

bool onProgramThread(const World& w) {
  return w.programActive && std::this_thread::get_id() == w.programThread;
}

std::optional<std::thread::id> servingThread(const World& w) {
  if (!w.programActive || w.programThread == std::this_thread::get_id()) return std::nullopt;
  return w.programThread;
}

void serveCalls(World& w, std::unique_lock<std::mutex>& lock) {
  const auto me = std::this_thread::get_id();
  for (;;) {
    const auto it = std::find_if(w.calls.begin(), w.calls.end(),
                                 [&](const Call* call) { return call->owner == me; });
    if (it == w.calls.end()) return;
    Call* call = *it;
    w.calls.erase(it);
    lock.unlock();
    (*call->work)();
    lock.lock();
    call->done = true;
    w.changed.notify_all();
  }
}

void servePosts(World& w, std::unique_lock<std::mutex>& lock) {
  if (!onProgramThread(w)) return;
  while (!w.posts.empty()) {
    std::function<void()> work = std::move(w.posts.front());
    w.posts.pop_front();
    lock.unlock();
    work();
    lock.lock();
    w.changed.notify_all();
  }
}

bool hasCallsFor(const World& w, std::thread::id thread) {
  return std::any_of(w.calls.begin(), w.calls.end(),
                     [&](const Call* call) { return call->owner == thread; });
}

void runOnUiThread(const std::function<void()>& work) {
  World& w = world();
  std::unique_lock lock(w.mutex);
  const auto owner = servingThread(w);
  if (!owner) {
    lock.unlock();
    work();
    return;
  }
  Call call{*owner, &work, false};
  w.calls.push_back(&call);
  w.changed.notify_all();
  // A program that has ended serves nobody: the call then runs here.
  w.changed.wait(lock, [&] { return call.done || !w.programActive; });
  if (call.done) return;
  w.calls.erase(std::find(w.calls.begin(), w.calls.end(), &call));
  lock.unlock();
  work();
}

bool controlReachable(const World& w, int number) {
  const auto it = w.controls.find(number);
  if (it == w.controls.end() || !it->second.enabled) return false;
  const auto window = w.windows.find(it->second.window);
  return window != w.windows.end() && window->second.open && window->second.enabled;
}

void runTick(std::pair<int, int> key) {
  std::function<void()> callback;
  {
    World& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.timers.find(key);
    if (it == w.timers.end()) return;
    callback = it->second.callback;
  }
  callback();
}

void push(Event event) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.events.push_back(event);
  w.changed.notify_all();
}

}  // namespace platform::headless
