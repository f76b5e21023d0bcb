// The display scale on Windows: the DPI functions of newer systems, looked up
// at run time so that Windows 7 and 8 (one system DPI) keep working, and a
// window taking a new DPI (WM_DPICHANGED) with every control in it.
// clang-format off
#include "platform/win32/ui_internal.h"  // <windows.h>, ahead of <commctrl.h>
// clang-format on

#include <commctrl.h>

#include "platform/dpi.h"
#include "platform/win32/library.h"

namespace platform::win32 {
namespace {

// The functions of Windows 8.1 (shcore) and Windows 10 1607 (user32).
struct DpiApi {
  UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
  BOOL(WINAPI* AdjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
  HRESULT(WINAPI* GetDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

const DpiApi& dpiApi() {
  static const DpiApi api = [] {
    DpiApi found;
    HMODULE user = GetModuleHandleW(L"user32.dll");
    lookUp(user, "GetDpiForWindow", found.GetDpiForWindow);
    lookUp(user, "AdjustWindowRectExForDpi", found.AdjustWindowRectExForDpi);
    // Loaded for good: the address stays valid as long as the program runs.
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    lookUp(shcore, "GetDpiForMonitor", found.GetDpiForMonitor);
    return found;
  }();
  return api;
}

int scaled(int value, int dpi) { return scaleForDpi(value, dpi); }

}  // namespace

int systemDpi() {
  // Fixed for the process's life: read once.
  static const int dpi = [] {
    const WindowDc screen(nullptr);
    const int found = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kBaseDpi;
    return found > 0 ? found : kBaseDpi;
  }();
  return dpi;
}

int dpiOfHandle(HWND hwnd) {
  const DpiApi& api = dpiApi();
  if (hwnd && api.GetDpiForWindow) {
    const UINT dpi = api.GetDpiForWindow(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return systemDpi();
}

int windowDpi(int window) {
  return readRecord(&Registry::windows, window, kBaseDpi,
                    [](const WindowRecord& record, const Registry&) { return record.dpi; });
}

int controlDpi(int control) {
  return readRecord(&Registry::controls, control, kBaseDpi,
                    [](const ControlRecord& record, const Registry& r) {
                      const auto w = r.windows.find(record.window);
                      return w == r.windows.end() ? kBaseDpi : w->second.dpi;
                    });
}

int monitorDpi(HMONITOR monitor) {
  const DpiApi& api = dpiApi();
  UINT x = 0;
  UINT y = 0;
  if (monitor && api.GetDpiForMonitor && SUCCEEDED(api.GetDpiForMonitor(monitor, 0, &x, &y)) &&
      y > 0) {
    return static_cast<int>(y);
  }
  return systemDpi();
}

void adjustFrameForDpi(RECT* rect, DWORD style, DWORD exStyle, int dpi) {
  const DpiApi& api = dpiApi();
  if (api.AdjustWindowRectExForDpi &&
      api.AdjustWindowRectExForDpi(rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    return;
  }
  AdjustWindowRectEx(rect, style, FALSE, exStyle);
}

int statusBarMinimumHeight(int minimum96, int dpi) {
  const int borders = 2 * GetSystemMetrics(SM_CYBORDER);
  return scaled(minimum96 + borders, dpi) - borders;
}

void applyWindowDpi(int window, int dpi) {
  // What each control needs to take the DPI, copied out (a control's record
  // owns its brush).
  struct ControlPlace {
    HWND hwnd;
    ControlKind kind;
    Area area;  // 96-dpi units
    int font;
    int image;
  };
  std::vector<ControlPlace> controls;
  std::vector<StatusBarRecord> bars;
  std::vector<TooltipRecord> tips;
  HWND hwnd = nullptr;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.windows.find(window);
    if (it == r.windows.end()) return;
    it->second.dpi = dpi;
    hwnd = it->second.hwnd;
    for (const auto& [number, control] : r.controls) {
      if (control.window == window) {
        controls.push_back({control.hwnd,
                            control.kind,
                            {control.x, control.y, control.width, control.height},
                            control.font,
                            control.image});
      }
    }
    for (const auto& [number, bar] : r.statusBars) {
      if (bar.window == window) bars.push_back(bar);
    }
    for (const auto& tip : r.tooltips) {
      if (tip.window == window) tips.push_back(tip);
    }
  }
  for (const ControlPlace& control : controls) {
    const Area place = scaleRect(control.area, dpi);
    SetWindowPos(control.hwnd, nullptr, place.x, place.y, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = control.font ? fontFor(control.font, dpi) : guiFontFor(dpi);
    if (font) SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (control.image == 0) continue;
    if (control.kind == ControlKind::picture) {
      if (HBITMAP bitmap = bitmapFor(control.image, dpi)) {
        SendMessageW(control.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
      }
    } else if (HICON icon = iconFor(control.image, dpi)) {
      SendMessageW(control.hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
  }
  for (const StatusBarRecord& bar : bars) {
    std::vector<int> edges;
    for (const int edge : bar.rightEdges) edges.push_back(scaled(edge, dpi));
    SendMessageW(bar.hwnd, SB_SETMINHEIGHT,
                 static_cast<WPARAM>(statusBarMinimumHeight(bar.minimumHeight, dpi)), 0);
    SendMessageW(bar.hwnd, WM_SIZE, 0, 0);
    SendMessageW(bar.hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  }
  for (const TooltipRecord& tip : tips) {
    if (tip.maximumWidth > 0) {
      SendMessageW(tip.hwnd, TTM_SETMAXTIPWIDTH, 0, scaled(tip.maximumWidth, dpi));
    }
    if (!tip.title.empty()) {
      SendMessageW(tip.hwnd, TTM_SETTITLEW, reinterpret_cast<WPARAM>(iconFor(tip.titleIcon, dpi)),
                   reinterpret_cast<LPARAM>(tip.title.c_str()));
    }
  }
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace platform::win32
