// The event loop's waits and pumps, and the windows' timers.
#include <algorithm>

#include "platform/win32/ui_internal.h"

namespace platform {

using namespace platform::win32;

static bool dispatchOne(MSG& message) {
  if (message.message == WM_QUIT) return false;
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (!root || !IsDialogMessageW(root, &message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

Event waitEvent() {
  auto& events = threadEvents();
  while (events.empty()) {
    MSG message;
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) return {kEventClose, 0, 0};
    dispatchOne(message);
  }
  const Event event = events.front();
  events.pop_front();
  return event;
}

bool waitEventFor(int timeoutMs, Event& event) {
  auto& events = threadEvents();
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(0, timeoutMs));
  for (;;) {
    MSG message;
    while (events.empty() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!dispatchOne(message)) {
        // The quit stays for the thread's own loop.
        PostQuitMessage(static_cast<int>(message.wParam));
        event = {kEventClose, 0, 0};
        return true;
      }
    }
    if (!events.empty()) {
      event = events.front();
      events.pop_front();
      return true;
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!done()) {
    if (GetTickCount64() >= deadline) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!dispatchOne(message)) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return done();
      }
    }
  }
  return true;
}

void startTimer(int window, int timer, int milliseconds, std::function<void()> callback) {
  HWND hwnd = windowHandle(window);
  if (!hwnd) return;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.timers[{window, timer}] = std::move(callback);
  }
  SetTimer(hwnd, static_cast<UINT_PTR>(timer), static_cast<UINT>(milliseconds), nullptr);
}

void stopTimer(int window, int timer) {
  HWND hwnd = windowHandle(window);
  if (!hwnd) return;
  KillTimer(hwnd, static_cast<UINT_PTR>(timer));
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.timers.erase({window, timer});
}

}  // namespace platform
