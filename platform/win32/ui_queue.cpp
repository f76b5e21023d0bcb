// The UI thread's queue: work posted by any thread, run on the UI thread by a
// message-only window, one piece per message, in the order posted.
#include <deque>
#include <functional>
#include <mutex>

#include "platform/win32/ui_internal.h"

namespace platform::win32 {
namespace {

constexpr wchar_t kQueueClass[] = L"OstrevakTessuneQueue";
constexpr UINT kWorkMessage = WM_APP + 2;

struct Queue {
  std::mutex mutex;
  HWND window = nullptr;
  std::deque<std::function<void()>> work;
};

Queue& queue() { return lasting<Queue>(); }

// One piece a message: work that opens a nested loop (a box, a window) lets
// the pieces posted after it run inside that loop, still in their order.
LRESULT CALLBACK queueProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kWorkMessage) return DefWindowProcW(hwnd, message, wParam, lParam);
  std::function<void()> work;
  {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.work.empty()) return 0;
    work = std::move(q.work.front());
    q.work.pop_front();
  }
  work();
  return 0;
}

}  // namespace

bool createUiQueue() {
  {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.window) return true;
  }
  WNDCLASSEXW queueClass{};
  queueClass.cbSize = sizeof queueClass;
  queueClass.lpfnWndProc = queueProc;
  queueClass.hInstance = GetModuleHandleW(nullptr);
  queueClass.lpszClassName = kQueueClass;
  if (!RegisterClassExW(&queueClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  HWND window = CreateWindowExW(0, kQueueClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                queueClass.hInstance, nullptr);
  if (!window) return false;
  Queue& q = queue();
  std::lock_guard lock(q.mutex);
  q.window = window;
  return true;
}

void destroyUiQueue() {
  Queue& q = queue();
  HWND window = nullptr;
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(q.mutex);
    window = q.window;
    q.window = nullptr;
    dropped.swap(q.work);
  }
  if (window) DestroyWindow(window);
}

}  // namespace platform::win32

namespace platform {

void postToUi(std::function<void()> work) {
  win32::Queue& q = win32::queue();
  std::lock_guard lock(q.mutex);
  // Before start-up or after the exit nobody would run it.
  if (!q.window) return;
  q.work.push_back(std::move(work));
  if (!PostMessageW(q.window, win32::kWorkMessage, 0, 0)) q.work.pop_back();
}

}  // namespace platform
