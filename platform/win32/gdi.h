#pragma once
// Owners for the drawing objects of the user interface (fonts, brushes, pens,
// bitmaps, icons, memory device contexts, menus) and the selection of an
// object into a device context, so that every path out of a function gives
// back what it made or selected.
#include <windows.h>

#include "platform/win32/handle.h"

namespace platform::win32 {

// A handle of the user interface (null when none) released by `Free`.
template <typename T, auto Free>
struct UiRelease {
  static T none() { return nullptr; }
  static bool release(T handle) { return Free(handle) != 0; }
};

using Font = Owned<HFONT, UiRelease<HFONT, DeleteObject>>;
using Brush = Owned<HBRUSH, UiRelease<HBRUSH, DeleteObject>>;
using Pen = Owned<HPEN, UiRelease<HPEN, DeleteObject>>;
using Bitmap = Owned<HBITMAP, UiRelease<HBITMAP, DeleteObject>>;
using Icon = Owned<HICON, UiRelease<HICON, DestroyIcon>>;
// A device context of CreateCompatibleDC.
using MemoryDc = Owned<HDC, UiRelease<HDC, DeleteDC>>;
using Menu = Owned<HMENU, UiRelease<HMENU, DestroyMenu>>;

// The device context of a window (or of the screen, for a null window) from
// GetDC, released to that window when its owner goes.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// `object` selected into `dc` while it lives, and what was selected before
// selected back when it goes. Selects nothing when the device context or the
// object is null, or when the selection fails.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~Selection() {
    if (previous_) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace platform::win32
