// Owner-drawn image buttons, their balloon tooltips and their painting with
// GDI and the theme engine, following the plans of widgets/paint.h.
#include "platform/buttons.h"

// <windows.h> must come before <commctrl.h>.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/dpi.h"
#include "platform/win32/buttons_internal.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_internal.h"
#include "widgets/paint.h"

namespace platform::win32 {
namespace {

// widgets::kButtonPropertyName in wide characters (it is plain ASCII).
constexpr auto kPropertyName = [] {
  std::array<wchar_t, sizeof widgets::kButtonPropertyName> wide{};
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<wchar_t>(widgets::kButtonPropertyName[i]);
  }
  return wide;
}();
constexpr int kCaptionBuffer = 1024;

std::atomic<HWND> paintingWindow{nullptr};

widgets::ButtonProperties* propertiesOf(HWND button) {
  return static_cast<widgets::ButtonProperties*>(GetPropW(button, kPropertyName.data()));
}

constexpr UINT_PTR kSubclassId = 1;

LRESULT CALLBACK imageButtonSubclass(HWND window, UINT message, WPARAM first, LPARAM second,
                                     UINT_PTR id, DWORD_PTR data);

// Takes the button's subclass off and frees its record, as its window goes.
void detach(HWND button, widgets::ButtonProperties* record) {
  RemoveWindowSubclass(button, imageButtonSubclass, kSubclassId);
  RemovePropW(button, kPropertyName.data());
  // The button's own from its making (createImageButton) until now.
  const std::unique_ptr<widgets::ButtonProperties> owned(record);
}

void repaint(HWND button, widgets::Repaint how) {
  if (how == widgets::Repaint::none) return;
  InvalidateRect(button, nullptr, how == widgets::Repaint::withErase);
}

bool trackMouseLeave(HWND window, DWORD flags, DWORD hoverTime) {
  TRACKMOUSEEVENT request{};
  request.cbSize = sizeof request;
  request.dwFlags = flags;
  request.hwndTrack = window;
  request.dwHoverTime = hoverTime;
  return TrackMouseEvent(&request) != FALSE;
}

LRESULT CALLBACK imageButtonSubclass(HWND window, UINT message, WPARAM first, LPARAM second,
                                     UINT_PTR, DWORD_PTR data) {
  auto* record = reinterpret_cast<widgets::ButtonProperties*>(data);
  const LRESULT result = DefSubclassProc(window, message, first, second);
  switch (message) {
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      platform::loadThemeApi(true);
      repaint(window, widgets::Repaint::withoutErase);
      break;
    case WM_MOUSEMOVE: {
      const widgets::HoverReaction reaction = widgets::onMouseMove(*record);
      repaint(window, reaction.repaint);
      if (reaction.trackLeave) trackMouseLeave(window, TME_LEAVE, 1);
      break;
    }
    case WM_MOUSELEAVE:
      repaint(window, widgets::onMouseLeave(*record).repaint);
      break;
    case WM_NCDESTROY:
      detach(window, record);
      break;
    default:
      break;
  }
  return result;
}

struct ButtonImage {
  HICON icon = nullptr;
  int width = 0;
  int height = 0;
};

// The icon made for `dpi`, at its 96-dpi size scaled.
ButtonImage imageOf(std::int64_t image, int dpi) {
  int width = 0;
  int height = 0;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.images.find(static_cast<int>(image));
    if (it == r.images.end() || !it->second.icon) return {};
    width = it->second.picture.width;
    height = it->second.picture.height;
  }
  HICON icon = iconFor(static_cast<int>(image), dpi);
  if (!icon) return {};
  return {icon, scaleForDpi(width, dpi), scaleForDpi(height, dpi)};
}

// Lines of one colour share one pen, created for them and deleted after.
void drawClassicFrame(HDC dc, const widgets::ClassicFrame& frame, HBRUSH face) {
  std::size_t at = 0;
  while (at < frame.lines.size()) {
    const int colour = frame.lines[at].colour;
    const Pen pen(CreatePen(PS_SOLID, 1, GetSysColor(colour)));
    const Selection selected(dc, pen.get());
    for (; at < frame.lines.size() && frame.lines[at].colour == colour; ++at) {
      const widgets::FrameLine& line = frame.lines[at];
      if (!pen) continue;
      MoveToEx(dc, line.x0, line.y0, nullptr);
      LineTo(dc, line.x1, line.y1);
    }
  }
  const RECT inner{frame.innerFill.left, frame.innerFill.top, frame.innerFill.right,
                   frame.innerFill.bottom};
  if (face) FillRect(dc, &inner, face);
}

}  // namespace

// Paints one image button into the device context of its draw request,
// leaving that context's state as it was handed over.
void paintImageButton(HWND window, const DRAWITEMSTRUCT& request,
                      const widgets::ButtonProperties& record) {
  HWND button = request.hwndItem;
  HDC dc = request.hDC;
  const RECT& item = request.rcItem;

  HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
  LOGFONTW description{};
  const int fontHeight = font && GetObjectW(font, sizeof description, &description)
                             ? std::abs(description.lfHeight)
                             : 0;
  wchar_t caption[kCaptionBuffer];
  const int length = GetWindowTextW(button, caption, kCaptionBuffer);
  SIZE extent{};
  if (dc) {
    const Selection measured(dc, font);
    GetTextExtentPoint32W(dc, caption, length, &extent);
  }
  const int dpi = windowDpi(windowNumber(GetAncestor(button, GA_ROOT)));
  const ButtonImage image = imageOf(record.image, dpi);

  widgets::ButtonPaintInput input;
  input.isButton = request.CtlType == ODT_BUTTON;
  input.width = item.right - item.left;
  input.height = item.bottom - item.top;
  input.state = {(request.itemState & ODS_SELECTED) != 0, (request.itemState & ODS_FOCUS) != 0,
                 (request.itemState & ODS_DISABLED) != 0};
  input.layout = record.layout;
  input.hover = record.hover;
  input.themed = themedFrameUsable();
  input.iconWidth = image.width;
  input.iconHeight = image.height;
  input.textWidth = static_cast<int>(extent.cx);
  input.textHeight = static_cast<int>(extent.cy);
  input.fontHeight = fontHeight;
  input.dpi = dpi;
  const widgets::ButtonPaint plan = widgets::planButtonPaint(input);
  if (!dc || !plan.paints) return;
  const int saved = SaveDC(dc);

  {
    const Brush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    if (face) FillRect(dc, &item, face.get());
    if (plan.themed) {
      if (plan.themeState != widgets::noThemeState) {
        drawThemedFrame(window, button, dc, item, plan.themeState);
      }
    } else {
      drawClassicFrame(dc, plan.classic, face.get());
    }
  }

  if (image.icon) {
    if (plan.iconDisabled) {
      DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(image.icon), 0, plan.iconX,
                 plan.iconY, 0, 0, DST_ICON | DSS_DISABLED);
    } else {
      DrawIconEx(dc, plan.iconX, plan.iconY, image.icon, 0, 0, 0, nullptr, DI_NORMAL);
    }
  }
  int previousMode = 0;
  {
    const Selection captionFont(dc, font);
    previousMode = SetBkMode(dc, TRANSPARENT);
    for (const widgets::CaptionDraw& text : plan.captions) {
      if (text.colour != 0) SetTextColor(dc, GetSysColor(text.colour));
      TextOutW(dc, text.x, text.y, caption, length);
    }
  }
  SetBkMode(dc, previousMode);
  if (plan.focusRectangle) {
    const RECT focus{plan.focus.left, plan.focus.top, plan.focus.right, plan.focus.bottom};
    DrawFocusRect(dc, &focus);
  }
  if (saved != 0) RestoreDC(dc, saved);
}

bool mainWindowCallback(HWND window, UINT message, WPARAM, LPARAM second, LRESULT* result) {
  if (message != WM_DRAWITEM || window != paintingWindow.load()) return false;
  const auto* request = reinterpret_cast<const DRAWITEMSTRUCT*>(second);
  if (!request || !request->hwndItem) return false;
  const widgets::ButtonProperties* record = propertiesOf(request->hwndItem);
  if (!record) return false;
  paintImageButton(window, *request, *record);
  *result = 1;
  return true;
}

}  // namespace platform::win32

namespace platform {

using namespace platform::win32;

bool createImageButton(int window, int control, int x, int y, int width, int height,
                       std::string_view caption, int image, std::int64_t layout) {
  HWND parent = controlParent(window);
  if (!parent) return false;
  const int dpi = windowDpi(window);
  const Area place = scaleRect({x, y, width, height}, dpi);
  HWND button = CreateWindowExW(0, WC_BUTTONW, widen(caption).c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_OWNERDRAW,
                                place.x, place.y, place.width, place.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(control)),
                                GetModuleHandleW(nullptr), nullptr);
  if (!button) return false;
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(guiFontFor(dpi)), TRUE);
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    ControlRecord record;
    record.hwnd = button;
    record.window = window;
    record.kind = ControlKind::pushButton;
    record.x = x;
    record.y = y;
    record.width = width;
    record.height = height;
    r.controls[control] = std::move(record);
    r.controlByHandle[button] = control;
  }
  auto record = std::make_unique<widgets::ButtonProperties>();
  record->control = control;
  record->image = image;
  record->layout = layout;
  // The property lets the main window's draw requests find the record; the
  // subclass carries it itself.
  SetPropW(button, kPropertyName.data(), record.get());
  if (!SetWindowSubclass(button, win32::imageButtonSubclass, win32::kSubclassId,
                         reinterpret_cast<DWORD_PTR>(record.get()))) {
    RemovePropW(button, kPropertyName.data());
    record.reset();
    DestroyWindow(button);
    return false;
  }
  // From now on the button owns it: detach frees it as the button goes.
  record.release();
  return true;
}

int addTooltip(int window, int control, std::string_view title, std::string_view text,
               int titleIcon) {
  HWND owner = windowHandle(window);
  HWND tool = controlHandle(control);
  HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_BALLOON, 0,
                             0, 0, 0, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tip, TTM_SETTIPTEXTCOLOR, GetSysColor(COLOR_INFOTEXT), 0);
  SendMessageW(tip, TTM_SETTIPBKCOLOR, GetSysColor(COLOR_INFOBK), 0);
  constexpr int kTipWidth = 200;
  const int dpi = windowDpi(window);
  SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, scaleForDpi(kTipWidth, dpi));
  std::wstring description = widen(text);
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = description.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  const std::wstring wideTitle = widen(title);
  if (!title.empty()) {
    SendMessageW(tip, TTM_SETTITLEW, reinterpret_cast<WPARAM>(iconFor(titleIcon, dpi)),
                 reinterpret_cast<LPARAM>(wideTitle.c_str()));
  }
  if (tip) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.tooltips.push_back({tip, window, kTipWidth, titleIcon, wideTitle});
  }
  return 0;
}

void installMainWindowCallback(int window) { paintingWindow = windowHandle(window); }

void setOnePixelBorder(int control) {
  HWND hwnd = controlHandle(control);
  if (!hwnd) return;
  const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  SetWindowLongPtrW(hwnd, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_STATICEDGE));
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  SetWindowLongPtrW(hwnd, GWL_STYLE, style | WS_BORDER);
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace platform
