// The window classes and procedures, the registry of the program's windows
// and controls, and the windows themselves, over the wide Win32 API. The
// controls, the bars and menus, and the event loop live beside it.
// clang-format off
#include "platform/win32/ui_internal.h"  // <windows.h>, ahead of <commctrl.h>
// clang-format on

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdint>

#include "platform/dpi.h"
#include "platform/win32/buttons_internal.h"
#include "platform/win32/taskbar.h"
#include "platform/win32/text.h"

namespace platform::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"OstrevakTessuneWindow";

thread_local std::deque<Event> eventsOfThread;

void pushEvent(int code, int window, int id) { eventsOfThread.push_back({code, window, id}); }

// A top-level window keeps its number, plus one, in GWLP_USERDATA (0: none
// yet). The registry must still hold that window under that number: a window
// that was closed, or one that is not ours, has none. With the registry
// locked.
int numberLocked(const Registry& r, HWND hwnd) {
  const LONG_PTR stored = hwnd ? GetWindowLongPtrW(hwnd, GWLP_USERDATA) : 0;
  if (stored <= 0) return -1;
  const int number = static_cast<int>(stored - 1);
  const auto it = r.windows.find(number);
  return it != r.windows.end() && it->second.hwnd == hwnd ? number : -1;
}

// Colours of edit fields, labels and panels, answered for WM_CTLCOLOR*.
LRESULT controlColours(HWND control, HDC dc, bool* handled) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const ControlRecord* record = controlByHandleLocked(r, control);
  if (!record || (!record->hasTextColour && !record->hasBackColour)) return 0;
  *handled = true;
  if (record->hasTextColour) SetTextColor(dc, record->textColour);
  if (record->hasBackColour) {
    SetBkColor(dc, record->backColour);
    return reinterpret_cast<LRESULT>(record->backBrush.get());
  }
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void runTimer(HWND hwnd, UINT_PTR timer) {
  std::function<void()> callback;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const int window = numberLocked(r, hwnd);
    const auto it = r.timers.find({window, static_cast<int>(timer)});
    if (it == r.timers.end()) return;
    callback = it->second;  // a copy: the callback may stop its own timer
  }
  callback();
}

// Messages that the top-level window and the panels inside it share.
bool commonMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      bool handled = false;
      *result =
          controlColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), &handled);
      return handled;
    }
    case WM_COMMAND: {
      const HWND root = GetAncestor(hwnd, GA_ROOT);
      const int window = windowNumber(root);
      if (lParam == 0 && HIWORD(wParam) == 0) {
        pushEvent(kEventMenu, window, LOWORD(wParam));
      } else if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) {
        pushEvent(kEventControl, window, LOWORD(wParam));
      }
      *result = 0;
      return true;
    }
    default:
      return false;
  }
}

// Moved to a monitor of another DPI (or the scale changed): the window takes
// the rectangle the system suggests and lays itself out for the new DPI.
void onDpiChanged(HWND hwnd, int dpi, const RECT& suggested) {
  const int window = windowNumber(hwnd);
  if (window < 0 || dpi <= 0) return;
  SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  applyWindowDpi(window, dpi);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  taskbarMessage(hwnd, message, wParam);
  if (mainWindowCallback(hwnd, message, wParam, lParam, &result)) return result;
  if (commonMessage(hwnd, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_CLOSE:
      pushEvent(kEventClose, windowNumber(hwnd), 0);
      return 0;
    case WM_MOVE: {
      auto& r = registry();
      bool ready = false;
      int window = -1;
      {
        std::lock_guard lock(r.mutex);
        window = numberLocked(r, hwnd);
        ready = window >= 0 && r.windows.at(window).ready;
      }
      if (ready) pushEvent(kEventMoved, window, 0);
      break;
    }
    case WM_TIMER:
      runTimer(hwnd, wParam);
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(hwnd, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (commonMessage(hwnd, message, wParam, lParam, &result)) return result;
  if (message == WM_ERASEBKGND) {
    HBRUSH brush = nullptr;
    {
      auto& r = registry();
      std::lock_guard lock(r.mutex);
      if (const ControlRecord* record = controlByHandleLocked(r, hwnd)) {
        brush = record->backBrush.get();
      }
    }
    if (brush) {
      RECT area;
      GetClientRect(hwnd, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, brush);
      return 1;
    }
  }
  if (message == WM_DRAWITEM || message == WM_NOTIFY) {
    return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool registerClasses() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
    // The icon file's own 16 x 16 image, drawn for that size, rather than the
    // large one scaled down.
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(windowClass.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass)) return false;
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof panelClass;
    panelClass.lpfnWndProc = panelProc;
    panelClass.hInstance = windowClass.hInstance;
    panelClass.hCursor = windowClass.hCursor;
    panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panelClass.lpszClassName = kPanelClass;
    return RegisterClassExW(&panelClass) != 0;
  }();
  return registered;
}

HMONITOR monitorForNewWindow() {
  HWND active = GetActiveWindow();
  if (active && windowNumber(GetAncestor(active, GA_ROOT)) >= 0) {
    return MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
  }
  HWND any = nullptr;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (!r.windows.empty()) any = r.windows.begin()->second.hwnd;
  }
  if (any) return MonitorFromWindow(any, MONITOR_DEFAULTTONEAREST);
  return MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
}

// The frame of a window whose 96-dpi client size is scaled by `dpi`, centred
// on `work` (never above or left of it).
RECT centredFrame(const WindowSpec& spec, DWORD style, DWORD exStyle, int dpi, const RECT& work) {
  RECT frame{0, 0, scaleForDpi(spec.clientWidth, dpi), scaleForDpi(spec.clientHeight, dpi)};
  adjustFrameForDpi(&frame, style, exStyle, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = static_cast<int>(work.left) +
                   std::max(0, static_cast<int>(work.right - work.left - width) / 2);
  const int top = static_cast<int>(work.top) +
                  std::max(0, static_cast<int>(work.bottom - work.top - height) / 2);
  return {left, top, left + width, top + height};
}

}  // namespace

Registry& registry() { return lasting<Registry>(); }

ControlRecord* controlByHandleLocked(Registry& r, HWND hwnd) {
  const auto number = r.controlByHandle.find(hwnd);
  if (number == r.controlByHandle.end()) return nullptr;
  const auto control = r.controls.find(number->second);
  return control == r.controls.end() ? nullptr : &control->second;
}

std::deque<Event>& threadEvents() { return eventsOfThread; }

HWND windowHandle(int window) {
  return readRecord(&Registry::windows, window, HWND{},
                    [](const WindowRecord& record, const Registry&) { return record.hwnd; });
}

HWND controlHandle(int control) {
  return readRecord(&Registry::controls, control, HWND{},
                    [](const ControlRecord& record, const Registry&) { return record.hwnd; });
}

HWND controlParent(int window) {
  return readRecord(&Registry::windows, window, HWND{},
                    [](const WindowRecord& record, const Registry& r) {
                      return r.container ? r.container : record.hwnd;
                    });
}

int windowNumber(HWND hwnd) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return numberLocked(r, hwnd);
}

}  // namespace platform::win32

namespace platform {

using namespace platform::win32;

bool initialise() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
                                    ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  return registerClasses() && createUiQueue();
}

void releaseAll() {
  destroyUiQueue();
  releaseTaskbar();
  auto& r = registry();
  std::map<int, WindowRecord> windows;
  {
    std::lock_guard lock(r.mutex);
    windows = r.windows;
  }
  for (const auto& [number, record] : windows) DestroyWindow(record.hwnd);
  std::lock_guard lock(r.mutex);
  for (const auto& tip : r.tooltips) DestroyWindow(tip.hwnd);
  releaseThemeApi();
  // The records own their brushes, fonts, pictures and menus: clearing them
  // frees those.
  r.windows.clear();
  r.controls.clear();
  r.controlByHandle.clear();
  r.fonts.clear();
  r.guiFonts.clear();
  r.images.clear();
  r.menus.clear();
  r.statusBars.clear();
  r.timers.clear();
  r.tooltips.clear();
  CoUninitialize();
}

// ---- Windows ---------------------------------------------------------------------

bool openWindow(int window, const WindowSpec& spec) {
  if (!registerClasses()) return false;
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
  if (spec.sizable) style |= WS_THICKFRAME;
  if (spec.minimiseBox) style |= WS_MINIMIZEBOX;
  if (spec.maximiseBox) style |= WS_MAXIMIZEBOX;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  // Centred on the work area of the monitor it belongs to (that of the
  // program's active window, else the primary one), at that monitor's DPI.
  const HMONITOR monitor = monitorForNewWindow();
  MONITORINFO screen{};
  screen.cbSize = sizeof screen;
  if (!GetMonitorInfoW(monitor, &screen)) {
    screen.rcWork = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  int dpi = monitorDpi(monitor);
  RECT place = centredFrame(spec, style, exStyle, dpi, screen.rcWork);
  HWND hwnd = CreateWindowExW(exStyle, kWindowClass, widen(spec.title).c_str(), style, place.left,
                              place.top, place.right - place.left, place.bottom - place.top,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  // The system may have given it another DPI than its monitor's reported one.
  if (const int given = dpiOfHandle(hwnd); given != dpi) {
    dpi = given;
    place = centredFrame(spec, style, exStyle, dpi, screen.rcWork);
    SetWindowPos(hwnd, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.windows[window] = {hwnd, false, dpi};
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(window) + 1);
  }
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.windows[window].ready = true;
  return true;
}

void closeWindow(int window) {
  HWND hwnd = windowHandle(window);
  if (!hwnd) return;
  auto& r = registry();
  {
    std::lock_guard lock(r.mutex);
    for (auto it = r.controls.begin(); it != r.controls.end();) {
      if (it->second.window == window) {
        r.controlByHandle.erase(it->second.hwnd);
        it = r.controls.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = r.timers.begin(); it != r.timers.end();) {
      it = it->first.first == window ? r.timers.erase(it) : std::next(it);
    }
    // Its tooltips and status bars go with it.
    std::erase_if(r.tooltips, [window](const TooltipRecord& tip) { return tip.window == window; });
    std::erase_if(r.statusBars, [window](const auto& bar) { return bar.second.window == window; });
    r.windows.erase(window);
  }
  DestroyWindow(hwnd);
}

void postClose(int window) {
  if (HWND hwnd = windowHandle(window)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

bool windowExists(int window) { return windowHandle(window) != nullptr; }

void setWindowEnabled(int window, bool enabled) {
  if (HWND hwnd = windowHandle(window)) EnableWindow(hwnd, enabled);
}

bool isWindowEnabled(int window) {
  HWND hwnd = windowHandle(window);
  return hwnd && IsWindowEnabled(hwnd);
}

void updateWindowNow(int window) {
  if (HWND hwnd = windowHandle(window)) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

}  // namespace platform
