// The status bar, the popup menu and the plain tooltips.
// clang-format off
#include "platform/win32/ui_internal.h"  // <windows.h>, ahead of <commctrl.h>
// clang-format on

#include <commctrl.h>

#include "platform/dpi.h"
#include "platform/win32/text.h"

namespace platform {

using namespace platform::win32;

bool createStatusBar(int window, int statusBar, const std::vector<int>& rightEdges,
                     int minimumHeight) {
  HWND parent = windowHandle(window);
  if (!parent) return false;
  HWND hwnd = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(statusBar)),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  const int dpi = windowDpi(window);
  SendMessageW(hwnd, SB_SETMINHEIGHT,
               static_cast<WPARAM>(statusBarMinimumHeight(minimumHeight, dpi)), 0);
  SendMessageW(hwnd, WM_SIZE, 0, 0);
  std::vector<int> edges;
  for (const int edge : rightEdges) edges.push_back(scaleForDpi(edge, dpi));
  SendMessageW(hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.statusBars[statusBar] = {hwnd, window, rightEdges, minimumHeight};
  return true;
}

void setStatusField(int statusBar, int field, std::string_view text, FieldStyle style) {
  const HWND hwnd =
      readRecord(&Registry::statusBars, statusBar, HWND{},
                 [](const StatusBarRecord& bar, const Registry&) { return bar.hwnd; });
  if (!hwnd) return;
  const WPARAM flags = static_cast<WPARAM>(field) | (style == FieldStyle::raised ? SBT_POPOUT : 0);
  const std::wstring wide = widen(text);
  SendMessageW(hwnd, SB_SETTEXTW, flags, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool createPopupMenu(int menu, const std::vector<MenuEntry>& entries) {
  Menu handle(CreatePopupMenu());
  if (!handle) return false;
  for (const auto& entry : entries) {
    if (entry.item == 0) {
      AppendMenuW(handle.get(), MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(handle.get(), MF_STRING, static_cast<UINT_PTR>(entry.item),
                  widen(entry.text).c_str());
    }
  }
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.menus[menu] = std::move(handle);
  return true;
}

static HMENU menuHandle(int menu) {
  return readRecord(&Registry::menus, menu, HMENU{},
                    [](const Menu& handle, const Registry&) { return handle.get(); });
}

void setMenuItemEnabled(int menu, int item, bool enabled) {
  if (HMENU handle = menuHandle(menu)) {
    EnableMenuItem(handle, static_cast<UINT>(item),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  }
}

bool isMenuItemEnabled(int menu, int item) {
  HMENU handle = menuHandle(menu);
  if (!handle) return false;
  const UINT state = GetMenuState(handle, static_cast<UINT>(item), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

Point cursorPosition() {
  POINT point{};
  GetCursorPos(&point);
  return {point.x, point.y};
}

void showPopupMenu(int menu, int window, Point screenPosition) {
  HMENU handle = menuHandle(menu);
  HWND owner = windowHandle(window);
  if (!handle || !owner) return;
  SetForegroundWindow(owner);
  TrackPopupMenu(handle, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screenPosition.x,
                 screenPosition.y, 0, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
}

void addPlainTooltip(int window, int control, std::string_view text) {
  HWND owner = windowHandle(window);
  HWND tool = controlHandle(control);
  if (!owner || !tool) return;
  HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!tip) return;
  std::wstring wide = widen(text);
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = wide.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.tooltips.push_back({tip, window, 0, 0, {}});
}

}  // namespace platform
