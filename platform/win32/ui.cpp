// Windows, controls, the status bar, the popup menu, events and timers over
// the wide Win32 API.
#include "platform/win32/ui_internal.h"

#include <commctrl.h>
#include <objbase.h>
#include <richedit.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/win32/buttons_internal.h"
#include "platform/win32/text.h"

namespace platform::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"OstrevakTessuneWindow";
constexpr wchar_t kPanelClass[] = L"OstrevakTessunePanel";
constexpr UINT kRunOnOwnerMessage = WM_APP + 1;

thread_local std::deque<Event> eventsOfThread;

COLORREF toColorRef(Rgb colour) { return RGB(colour.r, colour.g, colour.b); }

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
  const auto number = r.controlByHandle.find(control);
  if (number == r.controlByHandle.end()) return 0;
  const ControlRecord& record = r.controls[number->second];
  if (!record.hasTextColour && !record.hasBackColour) return 0;
  *handled = true;
  if (record.hasTextColour) SetTextColor(dc, record.textColour);
  if (record.hasBackColour) {
    SetBkColor(dc, record.backColour);
    return reinterpret_cast<LRESULT>(record.backBrush);
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
    case kRunOnOwnerMessage:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      *result = 0;
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
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
      const auto number = r.controlByHandle.find(hwnd);
      if (number != r.controlByHandle.end()) brush = r.controls[number->second].backBrush;
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

void setFieldText(HWND hwnd, std::string_view text) { SetWindowTextW(hwnd, widen(text).c_str()); }

}  // namespace

Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

std::deque<Event>& threadEvents() { return eventsOfThread; }

HWND windowHandle(int window) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.windows.find(window);
  return it == r.windows.end() ? nullptr : it->second.hwnd;
}

HWND controlHandle(int control) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.controls.find(control);
  return it == r.controls.end() ? nullptr : it->second.hwnd;
}

HWND controlParent(int window) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.windows.find(window);
  if (it == r.windows.end()) return nullptr;
  return r.container ? r.container : it->second.hwnd;
}

int windowNumber(HWND hwnd) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return numberLocked(r, hwnd);
}

void runOnOwnerThread(HWND hwnd, const std::function<void()>& work) {
  if (!hwnd || GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
    work();
    return;
  }
  SendMessageW(hwnd, kRunOnOwnerMessage, 0, reinterpret_cast<LPARAM>(&work));
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
  auto& r = registry();
  std::map<int, WindowRecord> windows;
  {
    std::lock_guard lock(r.mutex);
    windows = r.windows;
  }
  for (const auto& [number, record] : windows) DestroyWindow(record.hwnd);
  std::lock_guard lock(r.mutex);
  for (HWND tip : r.tooltips) DestroyWindow(tip);
  for (auto& [number, control] : r.controls) {
    if (control.backBrush) DeleteObject(control.backBrush);
  }
  for (auto& [number, font] : r.fonts) DeleteObject(font);
  for (auto& [number, image] : r.images) {
    if (image.bitmap) DeleteObject(image.bitmap);
    if (image.icon) DestroyIcon(image.icon);
  }
  for (auto& [number, menu] : r.menus) DestroyMenu(menu);
  releaseThemeApi();
  r.windows.clear();
  r.controls.clear();
  r.controlByHandle.clear();
  r.fonts.clear();
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
  RECT frame{0, 0, spec.clientWidth, spec.clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  const int top = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
  HWND hwnd = CreateWindowExW(exStyle, kWindowClass, widen(spec.title).c_str(), style, left, top,
                              width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.windows[window] = {hwnd, false};
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
        if (it->second.backBrush) DeleteObject(it->second.backBrush);
        r.controlByHandle.erase(it->second.hwnd);
        it = r.controls.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = r.timers.begin(); it != r.timers.end();) {
      it = it->first.first == window ? r.timers.erase(it) : std::next(it);
    }
    r.windows.erase(window);
  }
  runOnOwnerThread(hwnd, [hwnd] { DestroyWindow(hwnd); });
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

// ---- Controls --------------------------------------------------------------------

bool createControl(int window, const ControlSpec& spec) {
  HWND parent = controlParent(window);
  if (!parent) return false;
  const wchar_t* className = WC_STATICW;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  switch (spec.kind) {
    case ControlKind::picture:
      style |= SS_BITMAP;
      break;
    case ControlKind::edit:
      className = WC_EDITW;
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::label:
      style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::progress:
      className = PROGRESS_CLASSW;
      break;
    case ControlKind::container:
      className = kPanelClass;
      exStyle = WS_EX_STATICEDGE | WS_EX_CONTROLPARENT;
      break;
    case ControlKind::pushButton:
      className = WC_BUTTONW;
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case ControlKind::imageButton:
      className = WC_BUTTONW;
      style |= WS_TABSTOP | BS_PUSHBUTTON | BS_ICON;
      break;
    case ControlKind::checkBox:
      className = WC_BUTTONW;
      style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
    case ControlKind::richText: {
      static const HMODULE richEdit = LoadLibraryW(L"riched20.dll");
      if (!richEdit) return false;
      className = RICHEDIT_CLASSW;
      style |= WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
      break;
    }
  }
  HWND hwnd = CreateWindowExW(exStyle, className, widen(spec.text).c_str(), style, spec.x, spec.y,
                              spec.width, spec.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.number)),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    ControlRecord record;
    record.hwnd = hwnd;
    record.window = window;
    record.kind = spec.kind;
    r.controls[spec.number] = record;
    r.controlByHandle[hwnd] = spec.number;
    const auto image = r.images.find(spec.image);
    if (image != r.images.end()) {
      bitmap = image->second.bitmap;
      icon = image->second.icon;
    }
  }
  if (spec.kind == ControlKind::progress) SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
  if (spec.kind == ControlKind::picture && bitmap) {
    SendMessageW(hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  }
  if ((spec.kind == ControlKind::imageButton || spec.kind == ControlKind::pushButton) && icon) {
    SendMessageW(hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  }
  return true;
}

void openContainer(int container) {
  HWND hwnd = controlHandle(container);
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.container = hwnd;
}

void closeContainer() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.container = nullptr;
}

bool controlExists(int control) { return controlHandle(control) != nullptr; }

void setText(int control, std::string_view text) {
  if (HWND hwnd = controlHandle(control)) setFieldText(hwnd, text);
}

std::string getText(int control) {
  HWND hwnd = controlHandle(control);
  if (!hwnd) return {};
  const auto length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return narrow(text);
}

void setEnabled(int control, bool enabled) {
  if (HWND hwnd = controlHandle(control)) EnableWindow(hwnd, enabled);
}

bool isEnabled(int control) {
  HWND hwnd = controlHandle(control);
  return hwnd && IsWindowEnabled(hwnd);
}

}  // namespace platform

namespace platform::win32 {
namespace {

enum class ColourPart { text, back };

// Records a control's text or background colour for WM_CTLCOLOR*, hands it to
// a rich edit field itself, and repaints the control.
void setColour(int control, Rgb colour, ColourPart part) {
  const COLORREF value = toColorRef(colour);
  HWND hwnd;
  ControlKind kind;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.controls.find(control);
    if (it == r.controls.end()) return;
    ControlRecord& record = it->second;
    if (part == ColourPart::text) {
      record.hasTextColour = true;
      record.textColour = value;
    } else {
      if (record.backBrush) DeleteObject(record.backBrush);
      record.hasBackColour = true;
      record.backColour = value;
      record.backBrush = CreateSolidBrush(value);
    }
    hwnd = record.hwnd;
    kind = record.kind;
  }
  if (kind == ControlKind::richText && part == ColourPart::text) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    format.crTextColor = value;
    SendMessageW(hwnd, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  } else if (kind == ControlKind::richText) {
    SendMessageW(hwnd, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(value));
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace
}  // namespace platform::win32

namespace platform {

void setTextColour(int control, Rgb colour) { setColour(control, colour, ColourPart::text); }

void setBackColour(int control, Rgb colour) { setColour(control, colour, ColourPart::back); }

void setControlFont(int control, int font) {
  HFONT handle = nullptr;
  HWND hwnd = nullptr;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto f = r.fonts.find(font);
    const auto c = r.controls.find(control);
    if (f == r.fonts.end() || c == r.controls.end()) return;
    handle = f->second;
    hwnd = c->second.hwnd;
  }
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
}

void setProgressRange(int control, std::int64_t maximum) {
  if (HWND hwnd = controlHandle(control)) {
    SendMessageW(hwnd, PBM_SETRANGE32, 0,
                 static_cast<LPARAM>(std::clamp<std::int64_t>(maximum, 0, INT32_MAX)));
  }
}

void setProgressValue(int control, std::int64_t value) {
  if (HWND hwnd = controlHandle(control)) {
    SendMessageW(hwnd, PBM_SETPOS,
                 static_cast<WPARAM>(std::clamp<std::int64_t>(value, 0, INT32_MAX)), 0);
  }
}

std::int64_t progressValue(int control) {
  HWND hwnd = controlHandle(control);
  return hwnd ? static_cast<std::int64_t>(SendMessageW(hwnd, PBM_GETPOS, 0, 0)) : 0;
}

void redrawNow(int control) {
  if (HWND hwnd = controlHandle(control)) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
}

void setChecked(int control, bool checked) {
  if (HWND hwnd = controlHandle(control)) {
    SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool isChecked(int control) {
  HWND hwnd = controlHandle(control);
  return hwnd && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setTextLimit(int control, std::int64_t characters) {
  if (HWND hwnd = controlHandle(control)) {
    SendMessageW(hwnd, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(characters));
    SendMessageW(hwnd, EM_SETTARGETDEVICE, 0, 0);  // wrap at the area's width
  }
}

void appendLines(int control, std::span<const std::string> lines) {
  HWND hwnd = controlHandle(control);
  if (!hwnd || lines.empty()) return;
  std::string text;
  std::size_t size = 2;
  for (const auto& line : lines) size += line.size() + 2;
  text.reserve(size);
  if (GetWindowTextLengthW(hwnd) > 0) text += "\r\n";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  // Streamed in at once after the last line, with no undo kept for it (the
  // area is read-only): line by line, or with undo records, a journal of
  // megabytes takes the area minutes to fill.
  struct Source {
    std::wstring text;
    std::size_t next = 0;
  } source{widen(text), 0};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = [](DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) -> DWORD {
    auto* from = reinterpret_cast<Source*>(cookie);
    const std::size_t characters = std::min(from->text.size() - from->next,
                                            static_cast<std::size_t>(wanted) / sizeof(wchar_t));
    std::memcpy(buffer, from->text.data() + from->next, characters * sizeof(wchar_t));
    from->next += characters;
    *given = static_cast<LONG>(characters * sizeof(wchar_t));
    return 0;
  };
  // The reader's place and selection stay where they were.
  POINT scrolled{};
  CHARRANGE selection{};
  SendMessageW(hwnd, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));
  SendMessageW(hwnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  SendMessageW(hwnd, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(hwnd, EM_SETSEL, static_cast<WPARAM>(-1), -1);
  SendMessageW(hwnd, EM_STREAMIN, SF_TEXT | SF_UNICODE | SFF_SELECTION,
               reinterpret_cast<LPARAM>(&stream));
  SendMessageW(hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  SendMessageW(hwnd, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));
}

// ---- Status bar, popup menu, tooltips ----------------------------------------------

bool createStatusBar(int window, int statusBar, const std::vector<int>& rightEdges,
                     int minimumHeight) {
  HWND parent = windowHandle(window);
  if (!parent) return false;
  HWND hwnd = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(statusBar)),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  SendMessageW(hwnd, SB_SETMINHEIGHT, static_cast<WPARAM>(minimumHeight), 0);
  SendMessageW(hwnd, WM_SIZE, 0, 0);
  std::vector<int> edges = rightEdges;
  SendMessageW(hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.statusBars[statusBar] = hwnd;
  return true;
}

void setStatusField(int statusBar, int field, std::string_view text, FieldStyle style) {
  HWND hwnd = nullptr;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.statusBars.find(statusBar);
    if (it == r.statusBars.end()) return;
    hwnd = it->second;
  }
  const WPARAM flags = static_cast<WPARAM>(field) | (style == FieldStyle::raised ? SBT_POPOUT : 0);
  const std::wstring wide = widen(text);
  SendMessageW(hwnd, SB_SETTEXTW, flags, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool createPopupMenu(int menu, const std::vector<MenuEntry>& entries) {
  HMENU handle = CreatePopupMenu();
  if (!handle) return false;
  for (const auto& entry : entries) {
    if (entry.item == 0) {
      AppendMenuW(handle, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(handle, MF_STRING, static_cast<UINT_PTR>(entry.item), widen(entry.text).c_str());
    }
  }
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.menus[menu] = handle;
  return true;
}

static HMENU menuHandle(int menu) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.menus.find(menu);
  return it == r.menus.end() ? nullptr : it->second;
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
  r.tooltips.push_back(tip);
}

// ---- Events and timers ---------------------------------------------------------------

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
  runOnOwnerThread(hwnd, [&] {
    SetTimer(hwnd, static_cast<UINT_PTR>(timer), static_cast<UINT>(milliseconds), nullptr);
  });
}

void stopTimer(int window, int timer) {
  HWND hwnd = windowHandle(window);
  if (!hwnd) return;
  runOnOwnerThread(hwnd, [&] { KillTimer(hwnd, static_cast<UINT_PTR>(timer)); });
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.timers.erase({window, timer});
}

}  // namespace platform
