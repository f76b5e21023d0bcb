// The headless backend's test side: acting as a user (pressing controls,
// choosing menu items, moving and closing windows, answering boxes and
// choosers), running the program on a UI thread of its own, advancing the
// virtual clock, and reading back what the program showed.
#include <algorithm>
#include <chrono>

#include "platform/headless/buttons.h"
#include "platform/headless/world.h"
#include "platform/threads.h"

namespace platform::headless {

void reset() {
  World& w = world();
  if (w.program.joinable()) {
    waitProgramEnd(10000);
  }
  std::lock_guard lock(w.mutex);
  w.windows.clear();
  w.controls.clear();
  w.creationOrder.clear();
  w.textHistory.clear();
  w.container = 0;
  w.statusBars.clear();
  w.menus.clear();
  w.fonts.clear();
  w.images.clear();
  w.timers.clear();
  w.posts.clear();
  w.painters.clear();
  w.now = 0;
  w.events.clear();
  w.ticks.clear();
  w.boxAnswers.clear();
  w.chooserAnswers.clear();
  w.cursor = {100, 100};
  w.boxes.clear();
  w.choosers.clear();
  w.draws.clear();
  w.menusShown.clear();
  w.explored.clear();
  w.addresses.clear();
  w.taskbar = {};
  w.windowInFront = true;
  w.programActive = false;
  w.uiWaiting = false;
  w.refusedWindows.clear();
  resetButtons();
}

void refuseToOpen(int window) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.refusedWindows.insert(window);
}

void pressControl(int control) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  if (!controlReachable(w, control)) return;
  clearTaskbarError(w);
  w.events.push_back({kEventControl, w.controls[control].window, control});
  w.changed.notify_all();
}

void chooseMenuItem(int window, int item) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  for (const auto& [number, menu] : w.menus) {
    const auto it = menu.enabled.find(item);
    if (it != menu.enabled.end() && !it->second) return;  // greyed: cannot be chosen
  }
  w.events.push_back({kEventMenu, window, item});
  w.changed.notify_all();
}

void moveWindow(int window) { push({kEventMoved, window, 0}); }

void closeWindowBox(int window) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  if (it == w.windows.end() || !it->second.open || !it->second.enabled) return;
  w.events.push_back({kEventClose, window, 0});
  w.changed.notify_all();
}

void setCursor(Point screenPosition) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.cursor = screenPosition;
}

void typeText(int control, std::string text) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  if (!controlReachable(w, control)) return;
  w.controls[control].text = std::move(text);
}

void answerNextBox(int answer) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.boxAnswers.push_back(answer);
}

void answerNextChooser(std::string folder) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.chooserAnswers.push_back(std::move(folder));
}

void startProgram(std::function<void()> program) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.programActive = true;
  w.uiWaiting = false;
  w.program = std::thread([program = std::move(program)] {
    program();
    World& ww = world();
    std::lock_guard done(ww.mutex);
    ww.programActive = false;
    ww.changed.notify_all();
  });
  w.programThread = w.program.get_id();
}

bool waitIdle(int timeoutMs) {
  World& w = world();
  std::unique_lock lock(w.mutex);
  return w.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return !w.programActive || (w.uiWaiting && w.events.empty() && w.ticks.empty() &&
                                w.posts.empty() && !hasCallsFor(w, w.programThread));
  });
}

bool waitSettled(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const auto left = [&] {
    return static_cast<int>(std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
               .count()));
  };
  for (;;) {
    if (!waitIdle(left()) || !platform::testing::waitAllThreads(left()) || !waitIdle(left())) {
      return false;
    }
    // Idle after the threads ended, and none started meanwhile.
    if (platform::testing::waitAllThreads(0)) return true;
  }
}

bool waitProgramEnd(int timeoutMs) {
  World& w = world();
  {
    std::unique_lock lock(w.mutex);
    if (!w.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return !w.programActive; })) {
      return false;
    }
  }
  if (w.program.joinable()) w.program.join();
  return true;
}

bool programRunning() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.programActive;
}

void advanceTime(int milliseconds) {
  World& w = world();
  std::unique_lock lock(w.mutex);
  const std::int64_t target = w.now + milliseconds;
  for (;;) {
    Timer* next = nullptr;
    for (auto& [key, timer] : w.timers) {
      if (timer.nextDue > target) continue;
      if (!next || timer.nextDue < next->nextDue ||
          (timer.nextDue == next->nextDue && timer.order < next->order)) {
        next = &timer;
      }
    }
    if (!next) break;
    w.now = next->nextDue;
    next->nextDue += std::max(1, next->period);
    const std::pair<int, int> key{next->window, next->timer};
    if (w.programActive && !onProgramThread(w)) {
      w.ticks.push_back(key);
      w.changed.notify_all();
      w.changed.wait_for(lock, std::chrono::seconds(10), [&] {
        return !w.programActive || (w.uiWaiting && w.events.empty() && w.ticks.empty() &&
                                    !hasCallsFor(w, w.programThread));
      });
    } else {
      lock.unlock();
      runTick(key);
      lock.lock();
    }
  }
  w.now = target;
}

ControlState control(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.controls.find(number);
  return it == w.controls.end() ? ControlState{} : it->second;
}

bool hasControl(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.controls.count(number) != 0;
}

std::vector<int> controlsInCreationOrder() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.creationOrder;
}

WindowState window(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(number);
  return it == w.windows.end() ? WindowState{} : it->second;
}

StatusBarState statusBar(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.statusBars.find(number);
  return it == w.statusBars.end() ? StatusBarState{} : it->second;
}

std::vector<BoxRecord> boxes() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.boxes;
}

std::vector<ChooserRecord> choosers() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.choosers;
}

std::vector<DrawRecord> draws() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.draws;
}

void clearDraws() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.draws.clear();
}

std::vector<MenuShown> menusShown() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.menusShown;
}

bool menuItemEnabled(int menu, int item) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.menus.find(menu);
  if (it == w.menus.end()) return false;
  const auto state = it->second.enabled.find(item);
  return state != it->second.enabled.end() && state->second;
}

std::vector<MenuEntry> menuEntries(int menu) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.menus.find(menu);
  return it == w.menus.end() ? std::vector<MenuEntry>{} : it->second.entries;
}

std::vector<std::string> exploredFolders() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.explored;
}

std::vector<std::string> openedAddresses() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.addresses;
}

std::optional<FontSpec> font(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.fonts.find(number);
  if (it == w.fonts.end()) return std::nullopt;
  return it->second;
}

std::optional<Picture> image(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.images.find(number);
  if (it == w.images.end()) return std::nullopt;
  return it->second;
}

std::vector<TimerState> runningTimers() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  std::vector<TimerState> result;
  for (const auto& [key, timer] : w.timers)
    result.push_back({timer.window, timer.timer, timer.period});
  return result;
}

std::vector<std::string> textHistory(int control) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.textHistory.find(control);
  return it == w.textHistory.end() ? std::vector<std::string>{} : it->second;
}

}  // namespace platform::headless
