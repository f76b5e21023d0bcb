// The headless record of the taskbar button.
#include "platform/taskbar.h"

#include <mutex>

#include "platform/headless/world.h"

namespace platform {

void setTaskbarProgress(TaskbarProgress state, int percent) {
  auto& w = headless::world();
  std::lock_guard lock(w.mutex);
  if (state != w.taskbar.state) w.taskbar.history.push_back(state);
  w.taskbar.state = state;
  if (state == TaskbarProgress::normal) w.taskbar.percent = percent;
}

namespace headless {

void clearTaskbarError(World& w) {
  if (w.taskbar.state != TaskbarProgress::error) return;
  w.taskbar.state = TaskbarProgress::none;
  w.taskbar.history.push_back(TaskbarProgress::none);
}

TaskbarRecord taskbar() { return copyOf(world(), &World::taskbar); }

void setWindowInFront(bool inFront) {
  withLock(world(), [&](World& w) { w.windowInFront = inFront; });
}

void clickWindow(int window) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  if (w.windows.count(window) == 0 || !w.windows[window].open) return;
  clearTaskbarError(w);
}

}  // namespace headless
}  // namespace platform
