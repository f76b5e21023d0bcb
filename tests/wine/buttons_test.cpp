// The command bar's owner-drawn buttons as Windows paints them: the classic
// frames read back pixel by pixel, the themed frame and its hot look, the
// hover repaints, the disabled look, the balloon tooltips, and no GDI or user
// object left behind by thousands of paints and preferences windows.
#include "platform/buttons.h"

#include "app/dialogs.h"

// <windows.h> must come before <commctrl.h>.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "app/program.h"
#include "app/state.h"
#include "platform/win32/buttons_internal.h"
#include "platform/win32/text.h"
#include "settings/options.h"
#include "widgets/paint.h"
#include "wine_support.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;
using winetest::Pixels;
using winetest::repaintNow;

constexpr wchar_t kClassicChildVariable[] = L"RAVELUND_CLASSIC_CHILD";

HWND mainWindow() { return FindWindowW(nullptr, widen(app::kProgramTitle).c_str()); }
HWND button(int number) { return GetDlgItem(GetDlgItem(mainWindow(), app::kButtonBar), number); }

COLORREF face() { return GetSysColor(COLOR_BTNFACE); }
COLORREF frame() { return GetSysColor(COLOR_WINDOWFRAME); }
COLORREF light() { return GetSysColor(COLOR_BTNHIGHLIGHT); }
COLORREF dark() { return GetSysColor(COLOR_BTNSHADOW); }

// The outer rings of the 90 × 30 start button in the classic normal look, and
// the parts of the inside that neither icon nor caption covers.
void expectClassicNormal(const Pixels& p) {
  ASSERT_EQ(p.width(), 90);
  ASSERT_EQ(p.height(), 30);
  for (int x = 0; x < 89; ++x) EXPECT_EQ(p.at(x, 0), light()) << "row 0, x " << x;
  for (int y = 0; y < 29; ++y) EXPECT_EQ(p.at(0, y), light()) << "column 0, y " << y;
  for (int y = 0; y < 30; ++y) EXPECT_EQ(p.at(89, y), frame()) << "column 89, y " << y;
  for (int x = 0; x < 90; ++x) EXPECT_EQ(p.at(x, 29), frame()) << "row 29, x " << x;
  for (int y = 1; y < 29; ++y) EXPECT_EQ(p.at(88, y), dark()) << "column 88, y " << y;
  for (int x = 1; x < 89; ++x) EXPECT_EQ(p.at(x, 28), dark()) << "row 28, x " << x;
  for (int y = 1; y < 28; ++y) {
    for (int x = 1; x < 10; ++x) EXPECT_EQ(p.at(x, y), face()) << x << "," << y;
    EXPECT_EQ(p.at(87, y), face()) << "column 87, y " << y;
  }
  for (int x = 1; x < 88; ++x) EXPECT_EQ(p.at(x, 1), face()) << "row 1, x " << x;
}

void expectClassicPressed(const Pixels& p) {
  for (int x = 0; x < 90; ++x) {
    EXPECT_EQ(p.at(x, 0), frame()) << x;
    EXPECT_EQ(p.at(x, 29), frame()) << x;
  }
  for (int y = 0; y < 30; ++y) {
    EXPECT_EQ(p.at(0, y), frame()) << y;
    EXPECT_EQ(p.at(89, y), frame()) << y;
  }
  for (int x = 1; x < 89; ++x) {
    EXPECT_EQ(p.at(x, 1), dark()) << x;
    EXPECT_EQ(p.at(x, 28), dark()) << x;
  }
  for (int y = 2; y < 28; ++y) {
    EXPECT_EQ(p.at(1, y), dark()) << y;
    EXPECT_EQ(p.at(88, y), dark()) << y;
    for (int x = 2; x < 11; ++x) EXPECT_EQ(p.at(x, y), face()) << x << "," << y;
    EXPECT_EQ(p.at(87, y), face()) << y;
  }
}

// How many of the pixels that the classic normal frame fixes differ from it.
int differencesFromClassicNormal(const Pixels& p) {
  int differences = 0;
  for (int x = 0; x < 89; ++x) differences += p.at(x, 0) != light();
  for (int y = 0; y < 30; ++y) differences += p.at(89, y) != frame();
  for (int x = 0; x < 90; ++x) differences += p.at(x, 29) != frame();
  for (int y = 1; y < 29; ++y) differences += p.at(88, y) != dark();
  return differences;
}

int differences(const Pixels& a, const Pixels& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) count += a.at(x, y) != b.at(x, y);
  }
  return count;
}

class CommandBarOnWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(app::startUp());
    winetest::pump(300);
  }
  static void TearDownTestSuite() { app::exitCleanup(); }

  // Classic frames in this process: the theme library is looked for under a
  // name that does not exist.
  static void useClassicFrames(bool classic) {
    platform::win32::testing::setThemeLibraryName(classic ? L"ravelund-sans-theme.dll" : nullptr);
    platform::loadThemeApi(true);
  }
};

TEST_F(CommandBarOnWindows, ButtonsAreOwnerDrawnAndCarryTheirRecord) {
  for (int number = app::kStartButton; number <= app::kWebButton; ++number) {
    SCOPED_TRACE(number);
    HWND hwnd = button(number);
    ASSERT_NE(hwnd, nullptr);
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_TRUE(style & WS_GROUP);
    const auto* record = static_cast<const widgets::ButtonProperties*>(
        GetPropW(hwnd, widen(widgets::kButtonPropertyName).c_str()));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->control, number);
    EXPECT_EQ(record->layout, widgets::iconLeft);
  }
}

TEST_F(CommandBarOnWindows, ClassicNormalAndPressedFramesPixelForPixel) {
  useClassicFrames(true);
  ASSERT_FALSE(platform::themedFramesInUse());
  HWND start = button(app::kStartButton);
  repaintNow(start);
  expectClassicNormal(Pixels(start));
  // The caption starts 36 pixels in and is drawn in black.
  const Pixels normal(start);
  int black = 0;
  for (int y = 9; y < 22; ++y) {
    for (int x = 36; x < 80; ++x) black += normal.at(x, y) == RGB(0, 0, 0);
  }
  EXPECT_GT(black, 20);
  for (int y = 9; y < 22; ++y) EXPECT_EQ(normal.at(35, y), face()) << y;

  SendMessageW(start, BM_SETSTATE, TRUE, 0);
  repaintNow(start);
  const Pixels pressed(start);
  SendMessageW(start, BM_SETSTATE, FALSE, 0);
  expectClassicPressed(pressed);
  // Pushed in: the caption moved one pixel right.
  for (int y = 10; y < 23; ++y) EXPECT_EQ(pressed.at(36, y), face()) << y;
  useClassicFrames(false);
  repaintNow(start);
}

// With visual styles switched off for the desktop (the theme manager's
// setting), a fresh process paints the classic frames.
TEST(ClassicWithVisualStylesOff, ChildProcessPaintsTheClassicFrames) {
  wchar_t flag[8] = {};
  if (GetEnvironmentVariableW(kClassicChildVariable, flag, 8) == 0) {
    GTEST_SKIP() << "runs in the child that ThemeManagerOff starts";
  }
  ASSERT_TRUE(app::startUp());
  winetest::pump(300);
  EXPECT_FALSE(platform::themedFramesInUse());
  HWND start = button(app::kStartButton);
  repaintNow(start);
  expectClassicNormal(Pixels(start));
  SendMessageW(start, BM_SETSTATE, TRUE, 0);
  repaintNow(start);
  expectClassicPressed(Pixels(start));
  app::exitCleanup();
}

TEST(ThemeManagerOff, ClassicFramesInAProcessStartedWithoutVisualStyles) {
  wchar_t flag[8] = {};
  if (GetEnvironmentVariableW(kClassicChildVariable, flag, 8) != 0) GTEST_SKIP();
  const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
  wchar_t before[16] = L"";
  DWORD size = sizeof before;
  const bool hadValue = RegGetValueW(HKEY_CURRENT_USER, key, L"ThemeActive", RRF_RT_REG_SZ, nullptr,
                                     before, &size) == ERROR_SUCCESS;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"ThemeActive", REG_SZ, L"0", 4),
            ERROR_SUCCESS);

  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command =
      L"\"" + std::wstring(self) + L"\" --gtest_filter=ClassicWithVisualStylesOff.*";
  SetEnvironmentVariableW(kClassicChildVariable, L"1");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &child);
  SetEnvironmentVariableW(kClassicChildVariable, nullptr);
  DWORD exitCode = 1;
  if (started) {
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 120000), WAIT_OBJECT_0);
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
  }
  if (hadValue) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"ThemeActive", REG_SZ, before,
                    static_cast<DWORD>((wcslen(before) + 1) * sizeof(wchar_t)));
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"ThemeActive");
  }
  ASSERT_TRUE(started);
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(CommandBarOnWindows, ThemedFrameIsDrawnWhileAThemeIsActiveAndTurnsHotUnderThePointer) {
  ASSERT_TRUE(platform::themedFramesInUse()) << "Wine runs with a visual-styles theme";
  HWND journal = button(app::kJournalButton);
  repaintNow(journal);
  const Pixels normal(journal);
  EXPECT_GT(differencesFromClassicNormal(normal), 20) << "not the classic frame";

  SendMessageW(journal, WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
  UpdateWindow(journal);
  const Pixels hot(journal);
  SendMessageW(journal, WM_MOUSELEAVE, 0, 0);
  UpdateWindow(journal);
  const Pixels left(journal);
  EXPECT_GT(differences(normal, hot), 0) << "the hot state looks different";
  EXPECT_EQ(differences(normal, left), 0) << "back to normal once the pointer left";
}

TEST_F(CommandBarOnWindows, HoverRepaintsOnceOnEntryAndErasesOnLeaving) {
  HWND journal = button(app::kJournalButton);
  UpdateWindow(journal);
  struct Counts {
    int paints = 0;
    int erases = 0;
  } counts;
  const auto counter = [](HWND hwnd, UINT message, WPARAM first, LPARAM second, UINT_PTR,
                          DWORD_PTR data) -> LRESULT {
    auto* c = reinterpret_cast<Counts*>(data);
    if (message == WM_PAINT) ++c->paints;
    if (message == WM_ERASEBKGND) ++c->erases;
    return DefSubclassProc(hwnd, message, first, second);
  };
  ASSERT_TRUE(SetWindowSubclass(journal, counter, 7, reinterpret_cast<DWORD_PTR>(&counts)));
  for (int move = 0; move < 5; ++move) {
    SendMessageW(journal, WM_MOUSEMOVE, 0, MAKELPARAM(10 + move, 10));
  }
  UpdateWindow(journal);
  EXPECT_EQ(counts.paints, 1);
  EXPECT_EQ(counts.erases, 0);
  const auto* record = static_cast<const widgets::ButtonProperties*>(
      GetPropW(journal, widen(widgets::kButtonPropertyName).c_str()));
  EXPECT_EQ(record->hover, 1);

  SendMessageW(journal, WM_MOUSELEAVE, 0, 0);
  UpdateWindow(journal);
  EXPECT_EQ(counts.paints, 2);
  EXPECT_EQ(counts.erases, 1);
  EXPECT_EQ(record->hover, 0);
  // A second leave notice repaints with erasing all the same.
  SendMessageW(journal, WM_MOUSELEAVE, 0, 0);
  UpdateWindow(journal);
  EXPECT_EQ(counts.paints, 3);
  EXPECT_EQ(counts.erases, 2);
  RemoveWindowSubclass(journal, counter, 7);
  winetest::pump(50);
}

TEST_F(CommandBarOnWindows, DisabledButtonShowsAGreyIconAndAnEngravedCaption) {
  HWND help = button(app::kHelpButton);
  repaintNow(help);
  const Pixels enabled(help);
  EnableWindow(help, FALSE);
  repaintNow(help);
  const Pixels disabled(help);
  EnableWindow(help, TRUE);
  repaintNow(help);

  const auto coloured = [](COLORREF c) {
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::abs(r - g) > 24 || std::abs(g - b) > 24 || std::abs(r - b) > 24;
  };
  int colouredBefore = 0;
  int colouredAfter = 0;
  for (int y = 7; y < 23; ++y) {
    for (int x = 10; x < 26; ++x) {
      colouredBefore += coloured(enabled.at(x, y));
      colouredAfter += coloured(disabled.at(x, y));
    }
  }
  EXPECT_GT(colouredBefore, 10) << "the help icon has colours";
  EXPECT_EQ(colouredAfter, 0) << "greyed";
  // Embossed in the icon's own shape: its transparent corners keep the frame's
  // fill, not a grey square.
  int emptyCorners = 0;
  for (const auto& corner :
       {std::pair{10, 7}, std::pair{25, 7}, std::pair{10, 22}, std::pair{25, 22}}) {
    // Compared with the fill just left of the icon, on the same row.
    emptyCorners += disabled.at(corner.first, corner.second) == disabled.at(7, corner.second);
  }
  EXPECT_EQ(emptyCorners, 4);

  int black = 0;
  int highlight = 0;
  int shadow = 0;
  for (int y = 5; y < 25; ++y) {
    for (int x = 36; x < 64; ++x) {
      black += disabled.at(x, y) == RGB(0, 0, 0);
      highlight += disabled.at(x, y) == light();
      shadow += disabled.at(x, y) == dark();
    }
  }
  EXPECT_EQ(black, 0);
  EXPECT_GT(highlight, 5);
  EXPECT_GT(shadow, 10);
}

// The size a balloon needs for its title (and the title's icon) with nothing
// else in it: the way to compare titles where TTM_GETTITLE is not answered.
SIZE titleBubble(HWND tip, HWND tool) {
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = GetWindow(tip, GW_OWNER);
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  const LRESULT size = SendMessageW(tip, TTM_GETBUBBLESIZE, 0, reinterpret_cast<LPARAM>(&info));
  return {LOWORD(size), HIWORD(size)};
}

// A balloon made by the test the way the program should make it.
SIZE referenceBubble(HWND owner, HWND tool, const std::string& title, HICON icon) {
  HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_BALLOON, 0,
                             0, 0, 0, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, 200);
  std::wstring text = L"x";
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = text.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  const std::wstring wide = widen(title);
  SendMessageW(tip, TTM_SETTITLEW, reinterpret_cast<WPARAM>(icon),
               reinterpret_cast<LPARAM>(wide.c_str()));
  const SIZE size = titleBubble(tip, tool);
  DestroyWindow(tip);
  return size;
}

TEST_F(CommandBarOnWindows, TooltipsAreBalloonsWithTitleIconTextAndWidth) {
  struct Tip {
    HWND hwnd = nullptr;
    std::string text;
    LONG_PTR style = 0;
    UINT flags = 0;
  };
  std::map<int, Tip> tips;
  struct Context {
    std::map<int, Tip>* tips;
    HWND owner;
  } context{&tips, mainWindow()};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM parameter) -> BOOL {
        auto* c = reinterpret_cast<Context*>(parameter);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0 || GetWindow(hwnd, GW_OWNER) != c->owner) {
          return TRUE;
        }
        wchar_t text[512] = {};
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.lpszText = text;
        if (!SendMessageW(hwnd, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) return TRUE;
        const int control = GetDlgCtrlID(reinterpret_cast<HWND>(tool.uId));
        (*c->tips)[control] = {hwnd, narrow(text), GetWindowLongPtrW(hwnd, GWL_STYLE), tool.uFlags};
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));

  const struct {
    int control;
    const char* title;
    const char* text;
    int icon;
  } expected[] = {
      {15, "Copier maintenant", "Démarrer la copie du répertoire sélectionné", app::kStartIcon},
      {16, "Annuler", "Annuler la copie et quitter Ostrevak Tessune", app::kCancelIcon},
      {17, "Préférences", "Configurer vos paramètres d'utilisation de Ostrevak Tessune",
       app::kSettingsIcon},
      {18, "Rapports", "Ouvrir ou supprimer le Journal d'évènements des copies", app::kJournalIcon},
      {19, "Aide rapide", "Fonctionnement général de Ostrevak Tessune", app::kHelpIcon},
      {20, "Explorer", "Sélectionnez un dossier sur votre système et explorer le avec Windows",
       app::kFolderIcon},
      {21, "Sur Internet", "Connexion au site Ostrevak Software, dernières infos, mises à jour...",
       app::kWebIcon},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.control);
    ASSERT_TRUE(tips.count(e.control));
    const Tip& tip = tips[e.control];
    EXPECT_EQ(tip.style & (WS_POPUP | TTS_NOPREFIX | TTS_BALLOON),
              static_cast<LONG_PTR>(WS_POPUP | TTS_NOPREFIX | TTS_BALLOON));
    EXPECT_EQ(tip.flags & (TTF_IDISHWND | TTF_SUBCLASS),
              static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS));
    EXPECT_EQ(tip.text, e.text);
    EXPECT_EQ(SendMessageW(tip.hwnd, TTM_GETMAXTIPWIDTH, 0, 0), 200);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tip.hwnd, TTM_GETTIPBKCOLOR, 0, 0)),
              GetSysColor(COLOR_INFOBK));

    // The title with the button's own icon beside it: the same room as a
    // balloon titled so by the test, and more than the title without icon.
    HWND tool = button(e.control);
    const SIZE actual = titleBubble(tip.hwnd, tool);
    const SIZE withIcon =
        referenceBubble(mainWindow(), tool, e.title, LoadIconW(nullptr, IDI_APPLICATION));
    const SIZE withoutIcon = referenceBubble(mainWindow(), tool, e.title, nullptr);
    const SIZE otherTitle = referenceBubble(mainWindow(), tool, std::string(e.title) + " et plus",
                                            LoadIconW(nullptr, IDI_APPLICATION));
    EXPECT_EQ(actual.cx, withIcon.cx);
    EXPECT_EQ(actual.cy, withIcon.cy);
    EXPECT_GT(actual.cx, withoutIcon.cx);
    EXPECT_LT(actual.cx, otherTitle.cx);
    wchar_t title[256] = {};
    TTGETTITLE request{};
    request.dwSize = sizeof request;
    request.cch = 256;
    request.pszTitle = title;
    SendMessageW(tip.hwnd, TTM_GETTITLE, 0, reinterpret_cast<LPARAM>(&request));
    // Where the tooltip answers with its title (Windows does, Wine 8 does not).
    if (title[0] != L'\0') {
      EXPECT_EQ(narrow(title), e.title);
    }
  }
}

TEST_F(CommandBarOnWindows, ThemeSwitchReloadsAndKeepsPainting) {
  for (int number = app::kStartButton; number <= app::kWebButton; ++number) {
    SendMessageW(button(number), WM_THEMECHANGED, 0, 0);
  }
  EXPECT_TRUE(platform::themedFramesInUse());
  // A library that lacks the drawing functions: classic frames, and nothing
  // of the released library is called.
  platform::win32::testing::setThemeLibraryName(L"kernel32.dll");
  SendMessageW(button(app::kStartButton), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_FALSE(platform::themedFramesInUse());
  repaintNow(button(app::kStartButton));
  expectClassicNormal(Pixels(button(app::kStartButton)));
  platform::win32::testing::setThemeLibraryName(nullptr);
  SendMessageW(button(app::kStartButton), WM_THEMECHANGED, 0, 0);
  EXPECT_TRUE(platform::themedFramesInUse());
}

// GDI objects that one balloon with a title icon leaves behind when it is
// destroyed, on this system. Wine's tooltip releases its copy of the title
// icon with DeleteObject, which frees nothing; Windows leaves nothing.
int objectsLeftByATitledBalloon() {
  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  const int before = winetest::gdiObjects();
  constexpr int kBalloons = 20;
  for (int i = 0; i < kBalloons; ++i) {
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON, 0, 0, 0, 0,
                               mainWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tip, TTM_SETTITLEW, reinterpret_cast<WPARAM>(icon),
                 reinterpret_cast<LPARAM>(L"Titre"));
    DestroyWindow(tip);
  }
  return (winetest::gdiObjects() - before) / kBalloons;
}

// Thousands of paints in every look and style, then a thousand preferences
// windows opened and closed: the process holds no more GDI or user objects.
TEST_F(CommandBarOnWindows, PaintsAndPreferencesWindowsLeaveNoObjectBehind) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  settings::testing::overrideSettingsPath(narrow(folder) + "ravelund-objets.ini");
  const auto paintAll = [](int rounds) {
    for (int round = 0; round < rounds; ++round) {
      const int number = app::kStartButton + round % 7;
      HWND hwnd = button(number);
      switch (round % 4) {
        case 1:
          SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
          break;
        case 2:
          EnableWindow(hwnd, FALSE);
          break;
        case 3:
          SetFocus(hwnd);
          SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
          break;
        default:
          break;
      }
      repaintNow(hwnd);
      SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
      SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
      EnableWindow(hwnd, TRUE);
    }
  };
  const auto openAndClose = [](int times) {
    int closed = 0;
    for (int time = 0; time < times; ++time) {
      winetest::TimerScript closer([time] {
        HWND preferences = FindWindowW(nullptr, L"Ravelund Préférences");
        if (!preferences || !IsWindowVisible(preferences)) return false;
        if (time % 2 == 0) {
          PostMessageW(preferences, WM_CLOSE, 0, 0);
        } else {
          PostMessageW(GetDlgItem(GetDlgItem(preferences, 38), 40), BM_CLICK, 0, 0);
        }
        return true;
      });
      app::showPreferences();
      if (!closer.finished()) break;
      ++closed;
    }
    return closed;
  };
  // Once first, so that what the system keeps for later is already there.
  paintAll(28);
  useClassicFrames(true);
  paintAll(28);
  useClassicFrames(false);
  openAndClose(2);
  winetest::pump(100);
  const int gdiBefore = winetest::gdiObjects();
  const int userBefore = winetest::userObjects();
  ASSERT_GT(gdiBefore, 0);
  ASSERT_GT(userBefore, 0);

  paintAll(5000);
  useClassicFrames(true);
  paintAll(5000);
  useClassicFrames(false);
  winetest::pump(100);
  EXPECT_EQ(winetest::gdiObjects(), gdiBefore) << "after 10,000 paints";
  EXPECT_EQ(winetest::userObjects(), userBefore) << "after 10,000 paints";

  const int leftByBalloon = objectsLeftByATitledBalloon();
  const int gdiAfterPaints = winetest::gdiObjects();
  EXPECT_EQ(openAndClose(1000), 1000);
  winetest::pump(100);
  // Two titled balloons per window, whatever the system itself keeps of them.
  EXPECT_EQ(winetest::gdiObjects(), gdiAfterPaints + 1000 * 2 * leftByBalloon)
      << "after 1,000 preferences windows; " << leftByBalloon
      << " left by each titled balloon of the system";
  EXPECT_EQ(winetest::userObjects(), userBefore) << "after 1,000 preferences windows";
  EXPECT_FALSE(FindWindowW(nullptr, L"Ravelund Préférences"));
  EXPECT_TRUE(IsWindowEnabled(mainWindow()));
  settings::testing::overrideSettingsPath("");
}

}  // namespace
