// The preferences window as Windows shows it, opened with "Paramètres" from
// the real main window and worked like a user: its controls and tooltips, the
// boxes filled from the settings file, and what each way of closing writes.
// <windows.h> must come before <commctrl.h>.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/program.h"
#include "app/state.h"
#include "journal/journal.h"
#include "platform/ui.h"
#include "platform/win32/text.h"
#include "settings/options.h"
#include "wine_support.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;
using winetest::textOf;
using winetest::TimerScript;

constexpr wchar_t kTitle[] = L"Ravelund Préférences";

HWND mainWindow() { return FindWindowW(nullptr, widen(app::kProgramTitle).c_str()); }
HWND preferences() {
  HWND hwnd = FindWindowW(nullptr, kTitle);
  return hwnd && IsWindowVisible(hwnd) ? hwnd : nullptr;
}
HWND control(HWND window, int number) {
  if (number == 39 || number == 40) return GetDlgItem(GetDlgItem(window, 38), number);
  return GetDlgItem(window, number);
}
bool ticked(HWND window, int box) {
  return SendMessageW(control(window, box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void click(HWND window, int number) { PostMessageW(control(window, number), BM_CLICK, 0, 0); }

RECT rectInParent(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string readAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeAll(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

class PreferencesOnWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(app::startUp());
    winetest::pump(300);
  }
  static void TearDownTestSuite() { app::exitCleanup(); }

  void SetUp() override {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    folder_ = std::wstring(base) + L"ravelund-préférences";
    CreateDirectoryW(folder_.c_str(), nullptr);
    settingsFile_ = folder_ + L"\\ravelund.ini";
    journalFile_ = folder_ + L"\\ravelundlog.ini";
    SetFileAttributesW(settingsFile_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(settingsFile_.c_str());
    DeleteFileW(journalFile_.c_str());
    settings::testing::overrideSettingsPath(narrow(settingsFile_));
    journal::setJournalFile(narrow(journalFile_), journal::journalKey());
  }
  void TearDown() override {
    settings::testing::overrideSettingsPath("");
    SetFileAttributesW(settingsFile_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(settingsFile_.c_str());
    DeleteFileW(journalFile_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  // Clicks "Paramètres" and lets the main loop's dispatch open the window;
  // `script` works the window from a timer until it answers true.
  void openWithParametres(std::function<bool()> script) {
    TimerScript driver(std::move(script));
    PostMessageW(GetDlgItem(GetDlgItem(mainWindow(), app::kButtonBar), app::kSettingsButton),
                 BM_CLICK, 0, 0);
    const platform::Event event = platform::waitEvent();
    ASSERT_EQ(event.code, platform::kEventControl);
    ASSERT_EQ(event.id, app::kSettingsButton);
    app::dispatchEvent(event);
    EXPECT_TRUE(driver.finished()) << "the script did not run to its end";
    EXPECT_EQ(preferences(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(mainWindow()));
  }

  std::wstring folder_;
  std::wstring settingsFile_;
  std::wstring journalFile_;
};

TEST_F(PreferencesOnWindows, OpensFromParametresWithItsControlsWhileTheMainWindowWaits) {
  bool seen = false;
  openWithParametres([&] {
    HWND window = preferences();
    if (!window) return false;
    seen = true;
    EXPECT_FALSE(IsWindowEnabled(mainWindow()));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 350);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));

    const struct {
      int number;
      RECT rect;
      const char* text;
    } expected[] = {
        {30,
         {0, 0, 400, 30},
         " Pour sauvegarder vos préférences, vous devez cliquer sur le bouton 'Enregistrer'\r "
         "Cliquez sur 'Fermer' pour ne pas modifier vos paramètres"},
        {31, {10, 50, 210, 65}, "Option avant copie"},
        {33, {20, 70, 390, 90}, " Contrôlez automatiquement si l'espace disponible est suffisant"},
        {32, {10, 120, 210, 135}, "Options après copie"},
        {34, {20, 140, 390, 160}, " Toujours vérifier si la copie s'est faite sans erreur"},
        {35, {20, 160, 390, 180}, " Toujours ouvrir le dossier copié à la fin du processus"},
        {36, {20, 180, 390, 200}, " Sauvegarder les données relatives aux copies dans un journal"},
        {37, {20, 200, 390, 220}, " Ouvrir automatiquement le journal après chaque copie"},
        {38, {0, 300, 400, 350}, ""},
        {39, {10, 10, 130, 40}, ""},
        {40, {270, 10, 390, 40}, ""},
    };
    for (const auto& e : expected) {
      SCOPED_TRACE(e.number);
      HWND hwnd = control(window, e.number);
      EXPECT_NE(hwnd, nullptr);
      if (!hwnd) continue;
      const RECT rect = rectInParent(hwnd);
      EXPECT_EQ(rect.left, e.rect.left);
      EXPECT_EQ(rect.top, e.rect.top);
      EXPECT_EQ(rect.right, e.rect.right);
      EXPECT_EQ(rect.bottom, e.rect.bottom);
      EXPECT_EQ(textOf(hwnd), e.text);
    }
    for (int box = 33; box <= 37; ++box) {
      EXPECT_EQ(GetWindowLongPtrW(control(window, box), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
      EXPECT_FALSE(ticked(window, box)) << "no settings file: every box cleared";
    }
    HWND panel = control(window, 38);
    EXPECT_TRUE(GetWindowLongPtrW(panel, GWL_STYLE) & WS_BORDER);
    EXPECT_FALSE(GetWindowLongPtrW(panel, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    for (int picture : {39, 40}) {
      EXPECT_NE(SendMessageW(control(window, picture), BM_GETIMAGE, IMAGE_ICON, 0), 0);
    }
    // The section titles are drawn in the status font, in their colour.
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control(window, 31)));
    EXPECT_EQ(GetTextColor(dc), RGB(90, 130, 159));
    DeleteDC(dc);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control(window, 32), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(narrow(font.lfFaceName), "Arial");
    EXPECT_TRUE(font.lfItalic);

    // The two balloon tooltips of the picture buttons.
    int balloons = 0;
    std::pair<HWND, int*> search{window, &balloons};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM parameter) -> BOOL {
          auto* context = reinterpret_cast<std::pair<HWND, int*>*>(parameter);
          wchar_t name[64] = {};
          GetClassNameW(hwnd, name, 64);
          if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0 &&
              GetWindow(hwnd, GW_OWNER) == context->first &&
              (GetWindowLongPtrW(hwnd, GWL_STYLE) & TTS_BALLOON)) {
            ++*context->second;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    EXPECT_EQ(balloons, 2);
    click(window, 40);
    return true;
  });
  EXPECT_TRUE(seen);
  EXPECT_EQ(GetFileAttributesW(settingsFile_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PreferencesOnWindows, BoxesComeFromTheFileAndFermerWritesNothing) {
  const std::string before = "verif = ok\r\nopenlog = ok\r\nspace = OK\r\n";
  writeAll(settingsFile_, before);
  openWithParametres([&] {
    HWND window = preferences();
    if (!window) return false;
    EXPECT_TRUE(ticked(window, 34));
    EXPECT_TRUE(ticked(window, 37));
    EXPECT_FALSE(ticked(window, 33));
    EXPECT_FALSE(ticked(window, 35));
    EXPECT_FALSE(ticked(window, 36));
    SendMessageW(control(window, 33), BM_CLICK, 0, 0);
    EXPECT_TRUE(ticked(window, 33));
    click(window, 40);
    return true;
  });
  EXPECT_EQ(readAll(settingsFile_), before);
}

TEST_F(PreferencesOnWindows, CloseBoxWritesNothing) {
  openWithParametres([&] {
    HWND window = preferences();
    if (!window) return false;
    SendMessageW(control(window, 35), BM_CLICK, 0, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    return true;
  });
  EXPECT_EQ(GetFileAttributesW(settingsFile_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PreferencesOnWindows, EnregistrerWritesExactlyTheFiveLinesAndStartsTheJournal) {
  writeAll(settingsFile_, "[Groupe]\r\nverif = ok\r\n");
  openWithParametres([&] {
    HWND window = preferences();
    if (!window) return false;
    SendMessageW(control(window, 33), BM_CLICK, 0, 0);
    SendMessageW(control(window, 36), BM_CLICK, 0, 0);
    click(window, 39);
    return true;
  });
  EXPECT_EQ(readAll(settingsFile_),
            "verif = no\r\nspace = ok\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
  EXPECT_NE(GetFileAttributesW(journalFile_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PreferencesOnWindows, FailedSaveShowsTheErrorAndKeepsWindowTicksAndFile) {
  const std::string before =
      "verif = ok\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n";
  writeAll(settingsFile_, before);
  // Read-only, and held open by another program that shares nothing: Wine,
  // run as root, replaces a read-only file all the same, a held one it cannot.
  ASSERT_TRUE(SetFileAttributesW(settingsFile_.c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE holder = INVALID_HANDLE_VALUE;
  int stage = 0;
  std::string boxText;
  bool boxHasOnlyOk = false;
  bool stillOpen = false;
  bool tickKept = false;
  bool mainStillDisabled = false;
  openWithParametres([&] {
    HWND window = preferences();
    switch (stage) {
      case 0:
        if (!window) return false;
        holder = CreateFileW(settingsFile_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        SendMessageW(control(window, 35), BM_CLICK, 0, 0);
        click(window, 39);
        stage = 1;
        return false;
      case 1: {
        HWND box = FindWindowW(L"#32770", L"Erreur!");
        if (!box || !IsWindowVisible(box)) return false;
        boxText = textOf(GetDlgItem(box, 0xFFFF));
        boxHasOnlyOk = GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) &&
                       !GetDlgItem(box, IDYES) && !GetDlgItem(box, IDNO);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        stage = 2;
        return false;
      }
      default:
        if (FindWindowW(L"#32770", L"Erreur!")) return false;
        stillOpen = window != nullptr;
        if (!window) return true;
        tickKept = ticked(window, 35) && ticked(window, 34);
        mainStillDisabled = !IsWindowEnabled(mainWindow());
        click(window, 40);
        return true;
    }
  });
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  CloseHandle(holder);
  EXPECT_EQ(boxText, "Les préférences n'ont pu être enregistrées!");
  EXPECT_TRUE(boxHasOnlyOk);
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(tickKept);
  EXPECT_TRUE(mainStillDisabled);
  EXPECT_EQ(readAll(settingsFile_), before);
}

}  // namespace
