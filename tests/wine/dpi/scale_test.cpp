// The program's windows at the display's DPI, run by at_dpi.sh in a Wine
// prefix whose LogPixels is RAVELUND_TEST_DPI. At 96 dpi the layout of the
// main window, the preferences window and the journal window is written to
// RAVELUND_DPI_REFERENCE; at the other DPIs each window's client area and
// each control's rectangle must be that 96-dpi one scaled (±1 pixel), every
// caption, label and check-box text must fit its control, measured with the
// control's own font, no two controls may overlap that did not at 96 dpi, and
// the command bar's icons must be drawn from the image made for that scale.
// clang-format off
#include <windows.h>  // ahead of <commctrl.h>
// clang-format on

#include <commctrl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/program.h"
#include "app/state.h"
#include "journal/journal.h"
#include "platform/dpi.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_internal.h"
#include "settings/options.h"
#include "wine_support.h"

namespace {

using platform::scaleForDpi;
using platform::win32::narrow;
using platform::win32::widen;

int testDpi() {
  const char* value = std::getenv("RAVELUND_TEST_DPI");
  return value ? std::atoi(value) : 96;
}

std::string referencePath() {
  const char* value = std::getenv("RAVELUND_DPI_REFERENCE");
  return value ? value : "";
}

struct Control {
  std::string key;  // window name, then the control's number
  RECT rect{};      // in the top-level window's client area
};

struct Layout {
  std::map<std::string, SIZE> clients;  // by window name
  std::vector<Control> controls;
};

struct Collect {
  HWND root;
  std::string name;
  Layout* layout;
};

BOOL CALLBACK collectChild(HWND child, LPARAM data) {
  auto* collect = reinterpret_cast<Collect*>(data);
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, collect->root, reinterpret_cast<POINT*>(&rect), 2);
  collect->layout->controls.push_back(
      {collect->name + "/" + std::to_string(GetDlgCtrlID(child)), rect});
  return TRUE;
}

void collectWindow(HWND window, const std::string& name, Layout& layout) {
  RECT client;
  GetClientRect(window, &client);
  layout.clients[name] = {client.right, client.bottom};
  Collect collect{window, name, &layout};
  EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&collect));
}

void writeLayout(const Layout& layout, const std::string& path) {
  std::ofstream out(path, std::ios::trunc);
  for (const auto& [name, size] : layout.clients) {
    out << "client " << name << ' ' << size.cx << ' ' << size.cy << '\n';
  }
  for (const auto& control : layout.controls) {
    out << "control " << control.key << ' ' << control.rect.left << ' ' << control.rect.top << ' '
        << control.rect.right << ' ' << control.rect.bottom << '\n';
  }
}

Layout readLayout(const std::string& path) {
  Layout layout;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    std::string key;
    words >> kind >> key;
    if (kind == "client") {
      SIZE size{};
      words >> size.cx >> size.cy;
      layout.clients[key] = size;
    } else if (kind == "control") {
      Control control{key, {}};
      words >> control.rect.left >> control.rect.top >> control.rect.right >> control.rect.bottom;
      layout.controls.push_back(control);
    }
  }
  return layout;
}

bool overlap(const RECT& a, const RECT& b) {
  RECT both;
  return IntersectRect(&both, &a, &b) != FALSE;
}

// What the text of a control needs and what the control gives it: the widest
// line and the lines' height against the room inside the control.
struct Fit {
  int needWidth = 0;
  int needHeight = 0;
  int roomWidth = 0;
  int roomHeight = 0;
};

Fit measureText(HWND control, int dpi) {
  Fit fit;
  wchar_t className[64] = {};
  GetClassNameW(control, className, 64);
  const std::wstring kind = className;
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  const std::wstring text = widen(winetest::textOf(control));
  if (text.empty()) return fit;
  const bool label = _wcsicmp(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT;
  const bool button = _wcsicmp(kind.c_str(), L"Button") == 0;
  if (!label && !button) return fit;
  HDC dc = GetDC(control);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  std::wstring line;
  int lines = 0;
  const auto endLine = [&] {
    SIZE extent{};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &extent);
    fit.needWidth = std::max(fit.needWidth, static_cast<int>(extent.cx));
    ++lines;
    line.clear();
  };
  for (const wchar_t c : text) {
    if (c == L'\r' || c == L'\n') {
      endLine();
    } else {
      line += c;
    }
  }
  endLine();
  fit.needHeight = lines * metrics.tmHeight;
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  RECT client;
  GetClientRect(control, &client);
  fit.roomWidth = client.right;
  fit.roomHeight = client.bottom;
  const LONG_PTR type = style & BS_TYPEMASK;
  if (button && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)) {
    // The box and the gap before the text, as the button draws them.
    fit.roomWidth -= scaleForDpi(13, dpi) + scaleForDpi(4, dpi);
  } else if (button && type == BS_OWNERDRAW) {
    // A command button: the caption starts after the icon and its margins
    // (widgets::placeContent, icon at the left) and must end inside.
    fit.roomWidth -= scaleForDpi(16, dpi) + scaleForDpi(20, dpi);
  }
  return fit;
}

void expectTextsFit(HWND window, int dpi) {
  struct Walk {
    int dpi;
  } walk{dpi};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        const int at = reinterpret_cast<Walk*>(data)->dpi;
        const Fit fit = measureText(child, at);
        if (fit.needWidth == 0) return TRUE;
        EXPECT_LE(fit.needWidth, fit.roomWidth)
            << "control " << GetDlgCtrlID(child) << " \"" << winetest::textOf(child)
            << "\" is cut at " << at << " dpi";
        EXPECT_LE(fit.needHeight, fit.roomHeight)
            << "control " << GetDlgCtrlID(child) << " \"" << winetest::textOf(child)
            << "\" is too low at " << at << " dpi";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&walk));
}

HWND mainWindow() { return FindWindowW(nullptr, widen(app::kProgramTitle).c_str()); }

// Opens a modal window with `open`, and from a timer inside its loop, once it
// shows, collects it and checks its texts, then closes it.
void collectModal(void (*open)(), const wchar_t* title, const std::string& name, Layout& layout,
                  int dpi) {
  bool seen = false;
  winetest::TimerScript script([&] {
    HWND window = FindWindowW(nullptr, title);
    if (!window || !IsWindowVisible(window)) return false;
    winetest::pump(100);
    collectWindow(window, name, layout);
    expectTextsFit(window, dpi);
    seen = true;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return true;
  });
  open();
  EXPECT_TRUE(seen) << name << " never showed";
}

class WindowsAtTheDisplayScale : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    settings::testing::overrideSettingsPath(narrow(folder) + "ravelund-dpi.ini");
    ASSERT_TRUE(app::startUp());
    winetest::pump(300);
  }
  static void TearDownTestSuite() {
    app::exitCleanup();
    settings::testing::overrideSettingsPath("");
  }
};

TEST_F(WindowsAtTheDisplayScale, TheSystemReportsTheDpiOfTheRun) {
  HWND window = mainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(platform::win32::dpiOfHandle(window), testDpi());
  EXPECT_EQ(platform::win32::windowDpi(app::kMainWindow), testDpi());
}

TEST_F(WindowsAtTheDisplayScale, EveryWindowIsItsNinetySixDpiLayoutScaledWithEveryTextWhole) {
  const int dpi = testDpi();
  Layout layout;
  HWND window = mainWindow();
  ASSERT_NE(window, nullptr);
  collectWindow(window, "main", layout);
  expectTextsFit(window, dpi);
  collectModal(app::showPreferences, L"Ravelund Préférences", "preferences", layout, dpi);
  collectModal(app::showJournalViewer, L"Ostrevak Tessune LogFile", "journal", layout, dpi);
  ASSERT_EQ(layout.clients.size(), 3u);
  ASSERT_GT(layout.controls.size(), 20u);

  const std::string path = referencePath();
  ASSERT_FALSE(path.empty()) << "RAVELUND_DPI_REFERENCE names no file";
  if (dpi == platform::kBaseDpi) {
    writeLayout(layout, path);
    return;
  }
  const Layout reference = readLayout(path);
  ASSERT_EQ(reference.clients.size(), 3u) << "no 96-dpi layout in " << path;
  for (const auto& [name, size] : reference.clients) {
    EXPECT_NEAR(layout.clients[name].cx, scaleForDpi(size.cx, dpi), 1) << name << " width";
    EXPECT_NEAR(layout.clients[name].cy, scaleForDpi(size.cy, dpi), 1) << name << " height";
  }
  ASSERT_EQ(layout.controls.size(), reference.controls.size());
  for (std::size_t i = 0; i < reference.controls.size(); ++i) {
    const Control& want = reference.controls[i];
    const Control& got = layout.controls[i];
    ASSERT_EQ(got.key, want.key);
    EXPECT_NEAR(got.rect.left, scaleForDpi(want.rect.left, dpi), 1) << got.key;
    EXPECT_NEAR(got.rect.top, scaleForDpi(want.rect.top, dpi), 1) << got.key;
    EXPECT_NEAR(got.rect.right, scaleForDpi(want.rect.right, dpi), 1) << got.key;
    EXPECT_NEAR(got.rect.bottom, scaleForDpi(want.rect.bottom, dpi), 1) << got.key;
  }
  for (std::size_t i = 0; i < reference.controls.size(); ++i) {
    for (std::size_t j = i + 1; j < reference.controls.size(); ++j) {
      const std::string& a = reference.controls[i].key;
      const std::string& b = reference.controls[j].key;
      if (a.substr(0, a.find('/')) != b.substr(0, b.find('/'))) continue;
      if (overlap(reference.controls[i].rect, reference.controls[j].rect)) continue;
      EXPECT_FALSE(overlap(layout.controls[i].rect, layout.controls[j].rect))
          << a << " and " << b << " overlap at " << dpi << " dpi, not at 96";
    }
  }
}

TEST_F(WindowsAtTheDisplayScale, TheCommandBarsIconsAreDrawnFromTheImageForTheScale) {
  const int dpi = testDpi();
  const int wanted =
      platform::pictureScaleFor(dpi) == 175 ? 32 : 16 * platform::pictureScaleFor(dpi) / 100;
  const int icons[] = {app::kStartIcon, app::kCancelIcon, app::kSettingsIcon, app::kJournalIcon,
                       app::kHelpIcon,  app::kFolderIcon, app::kWebIcon};
  for (const int button :
       {app::kStartButton, app::kCancelButton, app::kSettingsButton, app::kJournalButton,
        app::kHelpButton, app::kExplorerButton, app::kWebButton}) {
    winetest::repaintNow(platform::win32::controlHandle(button));
  }
  for (const int icon : icons) {
    EXPECT_EQ(platform::win32::sourceWidthFor(icon, dpi), wanted) << "icon " << icon;
    HICON handle = platform::win32::iconFor(icon, dpi);
    ASSERT_NE(handle, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(handle, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, scaleForDpi(16, dpi)) << "icon " << icon;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  // The background likewise, at the window's exact size.
  const int background = platform::pictureScaleFor(dpi);
  EXPECT_EQ(platform::win32::sourceWidthFor(app::kBackgroundImage, dpi), 600 * background / 100);
}

// Wine never moves a window to another DPI; the message itself is sent here,
// as the system sends it when the window reaches a monitor of another scale.
TEST_F(WindowsAtTheDisplayScale, AMoveToAnotherScaleLaysTheMainWindowOutAgain) {
  const int dpi = testDpi();
  const int other = dpi == 144 ? 192 : 144;
  HWND window = mainWindow();
  Layout before;
  collectWindow(window, "main", before);
  RECT frame;
  GetWindowRect(window, &frame);
  // The frame the system suggests: the client area scaled, with the frame of
  // that DPI around it.
  RECT suggested{0, 0, scaleForDpi(600, other), scaleForDpi(410, other)};
  platform::win32::adjustFrameForDpi(
      &suggested, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
      static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), other);
  OffsetRect(&suggested, frame.left - suggested.left, frame.top - suggested.top);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(other, other),
               reinterpret_cast<LPARAM>(&suggested));
  winetest::pump(100);
  RECT now;
  GetWindowRect(window, &now);
  EXPECT_EQ(now.right - now.left, suggested.right - suggested.left);
  Layout moved;
  collectWindow(window, "main", moved);
  ASSERT_EQ(moved.controls.size(), before.controls.size());
  for (std::size_t i = 0; i < before.controls.size(); ++i) {
    const RECT& was = before.controls[i].rect;
    const RECT& is = moved.controls[i].rect;
    // Buttons inside the bar sit in it; the bar itself is at its place scaled.
    EXPECT_NEAR(is.left, MulDiv(was.left, other, dpi), 2) << moved.controls[i].key;
    EXPECT_NEAR(is.right, MulDiv(was.right, other, dpi), 2) << moved.controls[i].key;
  }
  expectTextsFit(window, other);
  // And back.
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
  winetest::pump(100);
  Layout back;
  collectWindow(window, "main", back);
  for (std::size_t i = 0; i < before.controls.size(); ++i) {
    EXPECT_EQ(back.controls[i].rect.left, before.controls[i].rect.left) << back.controls[i].key;
    EXPECT_EQ(back.controls[i].rect.bottom, before.controls[i].rect.bottom) << back.controls[i].key;
  }
}

// The client area of `window` as it shows, into a PNG file.
bool writeScreenshot(HWND window, const std::string& path) {
  winetest::repaintNow(window);
  winetest::pump(200);
  const winetest::Pixels pixels(window);
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(pixels.width()) * pixels.height() * 3);
  for (int y = 0; y < pixels.height(); ++y) {
    for (int x = 0; x < pixels.width(); ++x) {
      const COLORREF pixel = pixels.at(x, y);
      rgb.push_back(GetRValue(pixel));
      rgb.push_back(GetGValue(pixel));
      rgb.push_back(GetBValue(pixel));
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(pixels.width());
  image.height = static_cast<png_uint_32>(pixels.height());
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// For scripts/screenshot-scale.sh: with RAVELUND_SCREENSHOT_DIR set, the main
// window and the preferences window at this scale are written there as
// scale-PERCENT-main.png and scale-PERCENT-preferences.png.
TEST_F(WindowsAtTheDisplayScale, ScreenshotsOfTheMainAndPreferencesWindowsWhenAskedFor) {
  const char* folder = std::getenv("RAVELUND_SCREENSHOT_DIR");
  if (!folder || !*folder) return;
  const std::string prefix =
      std::string(folder) + "\\scale-" + std::to_string(testDpi() * 100 / 96) + "-";
  HWND window = mainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(writeScreenshot(window, prefix + "main.png"));
  bool written = false;
  winetest::TimerScript script([&] {
    HWND preferences = FindWindowW(nullptr, L"Ravelund Préférences");
    if (!preferences || !IsWindowVisible(preferences)) return false;
    written = writeScreenshot(preferences, prefix + "preferences.png");
    PostMessageW(preferences, WM_CLOSE, 0, 0);
    return true;
  });
  app::showPreferences();
  EXPECT_TRUE(written);
}

}  // namespace
