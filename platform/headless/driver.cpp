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
  static_cast<WorldRecords&>(w) = WorldRecords{};
  w.programActive = false;
  w.uiWaiting = false;
  resetButtons();
}

void refuseToOpen(int window) {
  withLock(world(), [&](World& w) { w.refusedWindows.insert(window); });
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
  withLock(world(), [&](World& w) { w.cursor = screenPosition; });
}

void typeText(int control, std::string text) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  if (!controlReachable(w, control)) return;
  w.controls[control].text = std::move(text);
}

void answerNextBox(int answer) {
  withLock(world(), [&](World& w) { w.boxAnswers.push_back(answer); });
}

void answerNextChooser(std::string folder) {
  withLock(world(), [&](World& w) { w.chooserAnswers.push_back(std::move(folder)); });
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
    if (!waitIdle(left())) return false;
    const int started = platform::testing::threadsStartedOnceNoneRuns(left());
    if (started < 0 || !waitIdle(left())) return false;
    // Idle after a moment when no thread ran, and none started since: what
    // every thread posted was posted before that moment, and has been served.
    // A thread that started since may have posted after the idle was seen,
    // even if it has ended by now.
    if (platform::testing::threadsStartedOnceNoneRuns(0) == started) return true;
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

bool programRunning() { return copyOf(world(), &World::programActive); }

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
  return recordCopy(world(), &World::controls, number).value_or(ControlState{});
}

bool hasControl(int number) {
  return withLock(world(), [&](const World& w) { return w.controls.count(number) != 0; });
}

std::vector<int> controlsInCreationOrder() { return copyOf(world(), &World::creationOrder); }

WindowState window(int number) {
  return recordCopy(world(), &World::windows, number).value_or(WindowState{});
}

StatusBarState statusBar(int number) {
  return recordCopy(world(), &World::statusBars, number).value_or(StatusBarState{});
}

std::vector<BoxRecord> boxes() { return copyOf(world(), &World::boxes); }

std::vector<ChooserRecord> choosers() { return copyOf(world(), &World::choosers); }

std::vector<DrawRecord> draws() { return copyOf(world(), &World::draws); }

void clearDraws() {
  withLock(world(), [](World& w) { w.draws.clear(); });
}

std::vector<MenuShown> menusShown() { return copyOf(world(), &World::menusShown); }

bool menuItemEnabled(int menu, int item) {
  return withRecord(world(), &World::menus, menu, [&](const Menu* record) {
    return record && record->enabled.count(item) != 0 && record->enabled.at(item);
  });
}

std::vector<MenuEntry> menuEntries(int menu) {
  return fieldOf(world(), &World::menus, menu, &Menu::entries);
}

std::vector<std::string> exploredFolders() { return copyOf(world(), &World::explored); }

std::vector<std::string> openedAddresses() { return copyOf(world(), &World::addresses); }

std::optional<FontSpec> font(int number) { return recordCopy(world(), &World::fonts, number); }

std::optional<Picture> image(int number) { return recordCopy(world(), &World::images, number); }

std::vector<TimerState> runningTimers() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  std::vector<TimerState> result;
  for (const auto& [key, timer] : w.timers)
    result.push_back({timer.window, timer.timer, timer.period});
  return result;
}

std::vector<std::string> textHistory(int control) {
  return recordCopy(world(), &World::textHistory, control).value_or(std::vector<std::string>{});
}

}  // namespace platform::headless
