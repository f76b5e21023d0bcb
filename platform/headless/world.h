#pragma once
// The headless backend's recorded world: everything the program showed, what
// the test scripted, the virtual clock, and the carrying of calls and posted
// work to the program's UI thread. Only platform/headless sees it.
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/records.h"

namespace platform::headless {

struct Timer {
  int window = 0;
  int timer = 0;
  int period = 0;
  std::int64_t nextDue = 0;
  std::uint64_t order = 0;
  std::function<void()> callback;
};

struct Menu {
  std::vector<MenuEntry> entries;
  std::map<int, bool> enabled;
};

// A window call made from a thread other than the window's own, waiting to be
// run there.
struct Call {
  std::thread::id owner;
  const std::function<void()>* work = nullptr;
  bool done = false;
};

// Everything reset() forgets: what the program showed, what the test
// scripted, the timers and the virtual clock.
struct WorldRecords {
  std::map<int, WindowState> windows;
  std::set<int> refusedWindows;  // windows that fail to open
  std::map<int, ControlState> controls;
  std::vector<int> creationOrder;
  std::map<int, std::vector<std::string>> textHistory;
  int container = 0;
  std::map<int, StatusBarState> statusBars;
  std::map<int, Menu> menus;
  std::map<int, FontSpec> fonts;
  std::map<int, Picture> images;
  std::map<std::pair<int, int>, Timer> timers;
  std::int64_t now = 0;

  std::deque<Event> events;
  std::deque<std::pair<int, int>> ticks;
  std::deque<int> boxAnswers;
  std::deque<std::string> chooserAnswers;
  Point cursor{100, 100};

  std::vector<BoxRecord> boxes;
  std::vector<ChooserRecord> choosers;
  std::vector<DrawRecord> draws;
  std::vector<MenuShown> menusShown;
  std::vector<std::string> explored;
  std::vector<std::string> addresses;
  TaskbarRecord taskbar;
  bool windowInFront = true;

  // Work posted for the UI thread, in order, and the painters of pictures.
  std::deque<std::function<void()>> posts;
  std::map<int, Painter> painters;
};

struct World : WorldRecords {
  std::mutex mutex;
  std::condition_variable changed;

  std::uint64_t timerOrder = 0;

  std::thread program;
  std::thread::id programThread;
  bool programActive = false;
  bool uiWaiting = false;

  std::deque<Call*> calls;
};

World& world();
bool onProgramThread(const World& w);
// The thread that serves window calls, when a program runs on a UI thread of
// its own and the caller is another thread.
// Without a program thread (handlers called straight from a test) every call
// runs at once on the calling thread.
std::optional<std::thread::id> servingThread(const World& w);
// Runs the calls queued for the calling thread. Called with the lock held;
// releases it while each call runs.
void serveCalls(World& w, std::unique_lock<std::mutex>& lock);
// Runs the work posted for the UI thread, when the calling thread is the
// program's. Called with the lock held; releases it while each piece runs.
void servePosts(World& w, std::unique_lock<std::mutex>& lock);
bool hasCallsFor(const World& w, std::thread::id thread);
// Runs `work` on the UI thread and waits for it, the way a
// sent message waits on Win32: a worker that touches a control while the UI
// thread is busy waits until the UI thread dispatches again.
void runOnUiThread(const std::function<void()>& work);
bool controlReachable(const World& w, int number);
void runTick(std::pair<int, int> key);
void push(Event event);
// A click in the window: the taskbar's error state goes. Lock held.
void clearTaskbarError(World& w);

template <typename Result, typename Work>
Result onUiThread(Work work) {
  Result result{};
  runOnUiThread([&] { result = work(); });
  return result;
}

}  // namespace platform::headless
