// The job's state on the program's taskbar button (ITaskbarList3), and the
// flash that calls the user back to a box waiting behind other windows.
#include "platform/win32/taskbar.h"

#include <shobjidl.h>

#include <mutex>

#include "platform/taskbar.h"
#include "platform/win32/ui_internal.h"

namespace platform::win32 {
namespace {

// Recursive: a call into the object, or a flash, may send the window a
// message that comes back here on the same thread.
struct Taskbar {
  std::recursive_mutex mutex;
  ITaskbarList3* list = nullptr;
  HWND button = nullptr;  // the window whose button the system made
  bool triedObject = false;
  TaskbarProgress state = TaskbarProgress::none;
  int percent = -1;
  testing::TaskbarReport report;
};

Taskbar& taskbar() { return lasting<Taskbar>(); }

UINT buttonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

TBPFLAG flagOf(TaskbarProgress state) {
  switch (state) {
    case TaskbarProgress::indeterminate:
      return TBPF_INDETERMINATE;
    case TaskbarProgress::normal:
      return TBPF_NORMAL;
    case TaskbarProgress::paused:
      return TBPF_PAUSED;
    case TaskbarProgress::error:
      return TBPF_ERROR;
    case TaskbarProgress::none:
      break;
  }
  return TBPF_NOPROGRESS;
}

void count(Taskbar& t, HRESULT result) {
  ++t.report.calls;
  if (FAILED(result)) ++t.report.failedCalls;
  t.report.lastResult = static_cast<long>(result);
}

// Shows the state kept in `t` on the button. Lock held.
void show(Taskbar& t) {
  if (t.list == nullptr || t.button == nullptr) return;
  count(t, t.list->SetProgressState(t.button, flagOf(t.state)));
  // The state is set first: a value given to a button without progress
  // would turn it to normal by itself. A pause keeps the value; an error
  // shows a full bar.
  if (t.state == TaskbarProgress::normal || t.state == TaskbarProgress::paused ||
      t.state == TaskbarProgress::error) {
    const int value = t.state == TaskbarProgress::error ? 100 : (t.percent < 0 ? 0 : t.percent);
    count(t, t.list->SetProgressValue(t.button, static_cast<ULONGLONG>(value), 100));
  }
}

// The window whose button flashes: the one the system made a button for, or
// else the program's first top-level window without an owner.
HWND buttonWindow(Taskbar& t) {
  if (t.button != nullptr && IsWindow(t.button)) return t.button;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  for (const auto& [number, record] : r.windows) {
    if (record.hwnd != nullptr && GetWindow(record.hwnd, GW_OWNER) == nullptr) return record.hwnd;
  }
  return nullptr;
}

}  // namespace

void taskbarMessage(HWND hwnd, UINT message, WPARAM wParam) {
  Taskbar& t = taskbar();
  if (message == buttonCreatedMessage()) {
    std::lock_guard lock(t.mutex);
    // The first window given a button is the main window; the explorer may
    // tell it again after a restart of its own, and the object stays.
    if (t.button == nullptr) t.button = hwnd;
    if (hwnd != t.button) return;
    if (!t.triedObject) {
      t.triedObject = true;
      ITaskbarList3* list = nullptr;
      if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ITaskbarList3, reinterpret_cast<void**>(&list)))) {
        if (SUCCEEDED(list->HrInit())) {
          t.list = list;
          t.report.haveObject = true;
        } else {
          list->Release();
        }
      }
    }
    show(t);
    return;
  }
  const bool click = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                     (message == WM_PARENTNOTIFY &&
                      (LOWORD(wParam) == WM_LBUTTONDOWN || LOWORD(wParam) == WM_RBUTTONDOWN));
  if (!click) return;
  std::lock_guard lock(t.mutex);
  if (t.state != TaskbarProgress::error) return;
  t.state = TaskbarProgress::none;
  show(t);
}

void flashIfNotInFront() {
  if (requesterOwner() != nullptr) return;  // one of the program's windows is in front
  Taskbar& t = taskbar();
  std::lock_guard lock(t.mutex);
  HWND window = buttonWindow(t);
  if (window == nullptr) return;
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = window;
  flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
  flash.uCount = 0;
  flash.dwTimeout = 0;
  FlashWindowEx(&flash);
  ++t.report.flashes;
}

void releaseTaskbar() {
  Taskbar& t = taskbar();
  std::lock_guard lock(t.mutex);
  if (t.list != nullptr) t.list->Release();
  t.list = nullptr;
  t.button = nullptr;
  t.triedObject = false;
  t.state = TaskbarProgress::none;
  t.percent = -1;
}

}  // namespace platform::win32

namespace platform {

void setTaskbarProgress(TaskbarProgress state, int percent) {
  auto& t = win32::taskbar();
  std::lock_guard lock(t.mutex);
  if (state != TaskbarProgress::normal) percent = t.percent;
  if (state == t.state && percent == t.percent) return;
  t.state = state;
  t.percent = percent;
  win32::show(t);
}

namespace testing {

TaskbarReport taskbarReport() {
  auto& t = win32::taskbar();
  std::lock_guard lock(t.mutex);
  return t.report;
}

UINT taskbarButtonCreatedMessage() { return win32::buttonCreatedMessage(); }

}  // namespace testing
}  // namespace platform
