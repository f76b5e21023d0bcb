// The controls of a window: making them, their texts, colours and fonts, the
// progress bars, check boxes and the journal's text area.
// clang-format off
#include "platform/win32/ui_internal.h"  // <windows.h>, ahead of <commctrl.h>
// clang-format on

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/dpi.h"
#include "platform/win32/text.h"

namespace platform {

using namespace platform::win32;

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
  const int dpi = windowDpi(window);
  const Area place = scaleRect({spec.x, spec.y, spec.width, spec.height}, dpi);
  HWND hwnd = CreateWindowExW(exStyle, className, widen(spec.text).c_str(), style, place.x, place.y,
                              place.width, place.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.number)),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(guiFontFor(dpi)), TRUE);
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
  if (spec.kind == ControlKind::picture) bitmap = bitmapFor(spec.image, dpi);
  if (spec.kind == ControlKind::imageButton || spec.kind == ControlKind::pushButton) {
    icon = iconFor(spec.image, dpi);
  }
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    ControlRecord record;
    record.hwnd = hwnd;
    record.window = window;
    record.kind = spec.kind;
    record.x = spec.x;
    record.y = spec.y;
    record.width = spec.width;
    record.height = spec.height;
    record.image = spec.image;
    r.controls[spec.number] = std::move(record);
    r.controlByHandle[hwnd] = spec.number;
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
  if (HWND hwnd = controlHandle(control)) SetWindowTextW(hwnd, widen(text).c_str());
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

COLORREF toColorRef(Rgb colour) { return RGB(colour.r, colour.g, colour.b); }

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
      record.backBrush.close();
      record.hasBackColour = true;
      record.backColour = value;
      record.backBrush = Brush(CreateSolidBrush(value));
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
  HWND hwnd = nullptr;
  int window = 0;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto c = r.controls.find(control);
    if (r.fonts.count(font) == 0 || c == r.controls.end()) return;
    c->second.font = font;
    hwnd = c->second.hwnd;
    window = c->second.window;
  }
  HFONT handle = fontFor(font, windowDpi(window));
  if (!handle) return;
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

}  // namespace platform
