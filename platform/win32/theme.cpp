// The visual-theme library, loaded by name at run time (never linked), so the
// program runs where it is missing and follows the desktop when it changes.
#include <memory>

#include "platform/buttons.h"
#include "platform/win32/buttons_internal.h"
#include "platform/win32/library.h"
#include "widgets/paint.h"

namespace platform::win32 {
namespace {

// The version as the system reports it, without the compatibility shims that
// make GetVersionEx lie to programs without a matching manifest entry.
bool systemVersion(int* platformId, int* major, int* minor) {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  RtlGetVersionFunction getVersion = nullptr;
  lookUp(ntdll, "RtlGetVersion", getVersion);
  if (!getVersion) return false;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (getVersion(&info) != 0) return false;
  *platformId = static_cast<int>(info.dwPlatformId);
  *major = static_cast<int>(info.dwMajorVersion);
  *minor = static_cast<int>(info.dwMinorVersion);
  return true;
}

bool hasManifest() {
  return FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) !=
         nullptr;
}

widgets::ThemeFunctions found(const ThemeApi& api) {
  return {api.IsThemeActive != nullptr,
          api.OpenThemeData != nullptr,
          api.IsThemeBackgroundPartiallyTransparent != nullptr,
          api.DrawThemeParentBackground != nullptr,
          api.DrawThemeBackground != nullptr,
          api.CloseThemeData != nullptr};
}

}  // namespace

namespace {
const wchar_t* libraryName = L"UxTheme.dll";
}  // namespace

const wchar_t* themeLibraryName() { return libraryName; }

namespace testing {
void setThemeLibraryName(const wchar_t* name) { libraryName = name ? name : L"UxTheme.dll"; }
}  // namespace testing

ThemeApi& themeApi() {
  static ThemeApi api;
  return api;
}

bool themedFrameUsable() {
  const ThemeApi& api = themeApi();
  return widgets::themedFrameUsable(api.library != nullptr, found(api), api.themeActive);
}

void drawThemedFrame(HWND window, HWND button, HDC dc, const RECT& item, int state) {
  const ThemeApi& api = themeApi();
  if (!themedFrameUsable()) return;
  // Closed by the library's own function as it goes.
  const std::unique_ptr<void, decltype(api.CloseThemeData)> theme(
      api.OpenThemeData(window, L"Button"), api.CloseThemeData);
  if (!theme) return;
  if (api.IsThemeBackgroundPartiallyTransparent(theme.get(), widgets::kPushButtonPart, state)) {
    api.DrawThemeParentBackground(button, dc, &item);
  }
  api.DrawThemeBackground(theme.get(), dc, widgets::kPushButtonPart, state, &item, nullptr);
}

void releaseThemeApi() {
  ThemeApi& api = themeApi();
  HMODULE library = api.library;
  api = ThemeApi{};
  if (library) FreeLibrary(library);
}

}  // namespace platform::win32

namespace platform {

using namespace platform::win32;

void loadThemeApi(bool /*reload*/) {
  int platformId = 0;
  int major = 0;
  int minor = 0;
  const bool known = systemVersion(&platformId, &major, &minor);
  if (!widgets::systemAllowsThemes(known, platformId, major, minor) || !hasManifest()) return;
  ThemeApi& api = themeApi();
  // The reload releases the library first; at start-up nothing is loaded yet,
  // unless the same process starts up twice (the tests), which then reloads too.
  if (api.library) {
    // Every address came from the library about to be released: none of them
    // may be called again, whatever happens to the new load.
    HMODULE old = api.library;
    api = ThemeApi{};
    FreeLibrary(old);
  }
  HMODULE library = LoadLibraryW(themeLibraryName());
  if (!library) return;
  api.library = library;
  lookUp(library, "IsThemeActive", api.IsThemeActive);
  lookUp(library, "OpenThemeData", api.OpenThemeData);
  lookUp(library, "IsThemeBackgroundPartiallyTransparent",
         api.IsThemeBackgroundPartiallyTransparent);
  lookUp(library, "DrawThemeParentBackground", api.DrawThemeParentBackground);
  lookUp(library, "DrawThemeBackground", api.DrawThemeBackground);
  lookUp(library, "CloseThemeData", api.CloseThemeData);
  if (api.IsThemeActive) api.themeActive = api.IsThemeActive() ? 1 : 0;
}

bool themedFramesInUse() { return themedFrameUsable(); }

}  // namespace platform
