#pragma once
// The image buttons' painter and the theme library, shared inside
// platform/win32 only.
#include <windows.h>

#include <cstdint>

namespace platform::win32 {

// The visual-theme library and the six functions looked up in it by name.
struct ThemeApi {
  HMODULE library = nullptr;
  BOOL(WINAPI* IsThemeActive)() = nullptr;
  HANDLE(WINAPI* OpenThemeData)(HWND, LPCWSTR) = nullptr;
  BOOL(WINAPI* IsThemeBackgroundPartiallyTransparent)(HANDLE, int, int) = nullptr;
  HRESULT(WINAPI* DrawThemeParentBackground)(HWND, HDC, const RECT*) = nullptr;
  HRESULT(WINAPI* DrawThemeBackground)(HANDLE, HDC, int, int, const RECT*, const RECT*) = nullptr;
  HRESULT(WINAPI* CloseThemeData)(HANDLE) = nullptr;
  std::int64_t themeActive = 0;
};

// Read and written on the user-interface thread only.
ThemeApi& themeApi();
// True when the themed frame may be drawn: the library is loaded, has all
// five drawing functions and reports an active theme.
bool themedFrameUsable();
// Draws the push-button part in `state` over `item`; `window` is the one that
// received the draw request, `button` the button itself.
void drawThemedFrame(HWND window, HWND button, HDC dc, const RECT& item, int state);
// "UxTheme.dll", or the name a test set.
const wchar_t* themeLibraryName();
namespace testing {
// Loads the theme library under another name (nullptr: the real one again).
void setThemeLibraryName(const wchar_t* name);
}  // namespace testing
// At exit: forgets every address and releases the library.
void releaseThemeApi();

// The window callback of the main window: paints the image buttons whose draw
// requests reach it. True when it answered the message (the answer is in
// `result`); false leaves the message to the normal handling.
bool mainWindowCallback(HWND window, UINT message, WPARAM first, LPARAM second, LRESULT* result);

}  // namespace platform::win32
