// The real main window, built by the program's start-up in this process and
// looked at through the Win32 API, as Windows itself shows it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/commands.h"
#include "app/program.h"
#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/threads.h"
#include "platform/win32/text.h"
#include "wine_support.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;

HWND mainWindow() { return FindWindowW(nullptr, widen(app::kProgramTitle).c_str()); }

std::string textOf(HWND hwnd) {
  wchar_t buffer[4096];
  const int length = GetWindowTextW(hwnd, buffer, 4096);
  return narrow(std::wstring_view(buffer, static_cast<std::size_t>(length)));
}

RECT rectInParent(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

using winetest::pump;

// Dark blue pixels where the first words of the status line are drawn.
int darkBluePixelsOfStatusText(HDC dc) {
  int count = 0;
  for (int x = 10; x < 200; ++x) {
    for (int y = 282; y < 298; ++y) {
      const COLORREF pixel = GetPixel(dc, x, y);
      if (GetRValue(pixel) < 90 && GetGValue(pixel) < 90 && GetBValue(pixel) > 120) ++count;
    }
  }
  return count;
}

// Waits on another thread for a message box with `caption`, reads its text
// and presses `button`, while the test's thread sits inside the box.
class BoxAnswerer {
 public:
  BoxAnswerer(std::string caption, int button)
      : thread_([this, caption = std::move(caption), button] {
          for (int attempt = 0; attempt < 1000 && !found_; ++attempt) {
            HWND box = FindWindowW(L"#32770", widen(caption).c_str());
            if (box && IsWindowVisible(box)) {
              text_ = textOf(GetDlgItem(box, 0xFFFF));
              hasOk_ = GetDlgItem(box, IDOK) != nullptr;
              found_ = true;
              PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
            }
            Sleep(10);
          }
        }) {}
  ~BoxAnswerer() { thread_.join(); }
  std::string text() {
    thread_.join();
    thread_ = std::thread([] {});
    return text_;
  }
  bool found() const { return found_; }
  bool hasOk() const { return hasOk_; }

 private:
  std::atomic<bool> found_{false};
  bool hasOk_ = false;
  std::string text_;
  std::thread thread_;
};

class MainWindowOnWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(app::startUp());
    pump(300);
  }
  static void TearDownTestSuite() { app::exitCleanup(); }
};

TEST_F(MainWindowOnWindows, HasItsTitleClientSizeAndFixedFrame) {
  HWND window = mainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 600);
  EXPECT_EQ(client.bottom - client.top, 410);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_NE(GetClassLongPtrW(window, GCLP_HICON), 0);
}

TEST_F(MainWindowOnWindows, TheSmallIconIsTheIconFilesOwnSixteenPixelImage) {
  HWND window = mainWindow();
  const auto small = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
  ASSERT_NE(small, nullptr);
  EXPECT_NE(small, reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON)));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(small, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 16);
  EXPECT_EQ(colour.bmHeight, 16);
  // Pixel for pixel the icon file's 16 x 16 image, not a reduction of the
  // larger one: drawn into a bitmap, both give the same bytes.
  const auto pixels = [](HICON icon) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    DrawIconEx(memory, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::string bytes(static_cast<const char*>(bits), 16 * 16 * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bytes;
  };
  const auto own = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                 IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  const auto large = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                   IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  EXPECT_EQ(pixels(small), pixels(own));
  EXPECT_NE(pixels(large), pixels(own));  // the comparison can tell them apart
  DestroyIcon(own);
  DestroyIcon(large);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST(ProgramResources, ManifestAsksForCommonControlsSix) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  const std::string manifest(bytes, SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(manifest.find("processorArchitecture=\"amd64\" publicKeyToken=\"6595b64144ccf1df\" "
                          "language=\"*\""),
            std::string::npos);
  EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr)  // RT_GROUP_ICON
      << "the program icon";
}

TEST_F(MainWindowOnWindows, IsCentredOnTheScreen) {
  RECT frame;
  GetWindowRect(mainWindow(), &frame);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(frame.left, screenWidth - frame.right, 1);
  EXPECT_NEAR(frame.top, screenHeight - frame.bottom, 1);
}

TEST_F(MainWindowOnWindows, ControlsHaveTheirNumbersPlacesAndTexts) {
  HWND window = mainWindow();
  const struct {
    int number;
    bool inBar;
    RECT rect;
    const char* text;
    const wchar_t* className;
  } expected[] = {
      {1, false, {0, 0, 600, 342}, "", L"Static"},
      {5, false, {10, 35, 560, 55}, "", L"Edit"},
      {4, false, {560, 30, 590, 55}, "", L"Button"},
      {8, false, {10, 60, 590, 75}, "", L"Static"},
      {7, false, {10, 125, 560, 145}, "", L"Edit"},
      {6, false, {560, 120, 590, 145}, "", L"Button"},
      {9, false, {10, 150, 590, 165}, "", L"Static"},
      {11, false, {2, 325, 598, 335}, "", L"msctls_progress32"},
      {14, false, {0, 340, 600, 390}, "", nullptr},
      {15, true, {0, 0, 90, 30}, "Démarrer", L"Button"},
      {16, true, {90, 0, 180, 30}, "Annuler", L"Button"},
      {17, true, {180, 0, 280, 30}, "Paramètres", L"Button"},
      {18, true, {280, 0, 365, 30}, "Journal", L"Button"},
      {19, true, {365, 0, 430, 30}, "Aide", L"Button"},
      {20, true, {430, 0, 510, 30}, "Explorer", L"Button"},
      {21, true, {510, 0, 600, 30}, "Ostrevak", L"Button"},
      {13, true, {0, 30, 600, 47}, "", L"msctls_progress32"},
  };
  HWND bar = GetDlgItem(window, 14);
  ASSERT_NE(bar, nullptr);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.number);
    HWND control = GetDlgItem(e.inBar ? bar : window, e.number);
    ASSERT_NE(control, nullptr);
    const RECT rect = rectInParent(control);
    EXPECT_EQ(rect.left, e.rect.left);
    EXPECT_EQ(rect.top, e.rect.top);
    EXPECT_EQ(rect.right, e.rect.right);
    EXPECT_EQ(rect.bottom, e.rect.bottom);
    EXPECT_EQ(textOf(control), e.text);
    if (e.className) {
      wchar_t name[64];
      GetClassNameW(control, name, 64);
      EXPECT_EQ(lstrcmpiW(name, e.className), 0);
    }
  }
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1)));
  EXPECT_EQ(SendMessageW(GetDlgItem(bar, 13), PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageW(GetDlgItem(bar, 13), PBM_GETPOS, 0, 0), 0);
}

TEST_F(MainWindowOnWindows, PathFieldsAndInformationLinesHaveTheirColours) {
  HWND window = mainWindow();
  HDC dc = CreateCompatibleDC(nullptr);
  for (int field : {5, 7}) {
    SendMessageW(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, field)));
    EXPECT_EQ(GetTextColor(dc), RGB(227, 225, 225));
    EXPECT_EQ(GetBkColor(dc), RGB(93, 153, 223));
  }
  const HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(
      window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
      reinterpret_cast<LPARAM>(GetDlgItem(window, 8))));
  EXPECT_EQ(GetBkColor(dc), RGB(74, 145, 214));
  LOGBRUSH description{};
  ASSERT_TRUE(GetObjectW(brush, sizeof description, &description));
  EXPECT_EQ(description.lbColor, RGB(74, 145, 214));
  SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(GetDlgItem(window, 9)));
  EXPECT_EQ(GetBkColor(dc), RGB(93, 153, 223));
  DeleteDC(dc);
}

TEST_F(MainWindowOnWindows, StatusBarHasFourFieldsOfTheRightWidths) {
  HWND status = GetDlgItem(mainWindow(), app::kStatusBar);
  ASSERT_NE(status, nullptr);
  int edges[8] = {};
  ASSERT_EQ(SendMessageW(status, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)), 4);
  EXPECT_EQ(edges[0], 110);
  EXPECT_EQ(edges[1] - edges[0], 163);
  EXPECT_EQ(edges[2] - edges[1], 163);
  EXPECT_EQ(edges[3] - edges[2], 163);
  const char* texts[] = {"Support Id : ", "Partition : ", "Capacité Totale : ",
                         "Espace disponible : "};
  for (int field = 0; field < 4; ++field) {
    wchar_t buffer[256] = {};
    const LRESULT result = SendMessageW(status, SB_GETTEXTW, static_cast<WPARAM>(field),
                                        reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(narrow(buffer), texts[field]);
    EXPECT_EQ((HIWORD(result) & SBT_POPOUT) != 0, field % 2 == 1) << field;
  }
  EXPECT_FALSE(GetWindowLongPtrW(status, GWL_STYLE) & SBARS_SIZEGRIP);
}

TEST_F(MainWindowOnWindows, StatusLineIsPaintedOverTheBackgroundBand) {
  HWND window = mainWindow();
  app::setStatusText("Copie du dossier en cours...  Patientez durant le processus SVP");
  HDC dc = GetDC(window);
  // Somewhere in the first letters: dark blue strokes over the light band.
  EXPECT_GT(darkBluePixelsOfStatusText(dc), 50);
  // An empty status text restores the band exactly.
  app::setStatusText("");
  EXPECT_EQ(darkBluePixelsOfStatusText(dc), 0);
  ReleaseDC(window, dc);
}

TEST_F(MainWindowOnWindows, HelpBoxShowsTheQuickHelp) {
  BoxAnswerer answerer("Ravelund, comment ça marche", IDOK);
  app::showHelp();
  const std::string text = answerer.text();
  ASSERT_TRUE(answerer.found());
  EXPECT_TRUE(answerer.hasOk());
  EXPECT_EQ(text.rfind("Fonctionnement général de Ostrevak Tessune", 0), 0u);
  EXPECT_NE(text.find("4 -  Cliquez sur 'Démarrer' pour lancer la copie"), std::string::npos);
  EXPECT_NE(text.find("Cordialement, Meldrin"), std::string::npos);
  // The main window is usable again once the box is gone.
  EXPECT_TRUE(IsWindowEnabled(mainWindow()));
}

TEST_F(MainWindowOnWindows, ReportsMenuItemsAreGreyedWithoutJournal) {
  ASSERT_FALSE(journal::journalExists());
  // The menu runs its own loop; a timer dispatched inside that loop ends it.
  const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  app::showReportsMenu();
  KillTimer(nullptr, timer);
  EXPECT_FALSE(platform::isMenuItemEnabled(app::kReportsMenu, app::kOpenJournalItem));
  EXPECT_FALSE(platform::isMenuItemEnabled(app::kReportsMenu, app::kDeleteJournalItem));
}

TEST_F(MainWindowOnWindows, ButtonClickArrivesAsAControlEvent) {
  HWND bar = GetDlgItem(mainWindow(), 14);
  PostMessageW(GetDlgItem(bar, app::kHelpButton), BM_CLICK, 0, 0);
  BoxAnswerer answerer("Ravelund, comment ça marche", IDOK);
  const platform::Event event = platform::waitEvent();
  EXPECT_EQ(event.code, platform::kEventControl);
  EXPECT_EQ(event.id, app::kHelpButton);
  EXPECT_EQ(event.window, app::kMainWindow);
  app::dispatchEvent(event);
  EXPECT_TRUE(answerer.found());
}

// The scan counts and sizes the source on its own thread and hands the live
// count, the final line and its end (the size, the window enabled again) to
// the window's thread: startScan returns at once and the window goes on
// painting. None of it may hang, and the count and the size must arrive.
TEST_F(MainWindowOnWindows, ScanCountsIntoTheSourceLineFromItsThread) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  const std::wstring root = std::wstring(base) + L"ravelund-scan-é";
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\vide").c_str(), nullptr);
  CreateDirectoryW((root + L"\\plein").c_str(), nullptr);
  const std::wstring files[] = {L"\\a", L"\\b", L"\\c", L"\\plein\\1", L"\\plein\\2",
                                L"\\plein\\3", L"\\plein\\4"};
  for (const auto& name : files) {
    HANDLE file = CreateFileW((root + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, "0123456789", 10, &written, nullptr);
    CloseHandle(file);
  }
  const std::string source = narrow(root) + "\\";
  app::appState().chosenSource = source;
  app::appState().sourceTotalSize = 100;
  copyjob::startScan(source);
  // Nothing was measured on this thread, and the scan's end is shown only
  // when this thread serves what the scan posted.
  EXPECT_EQ(app::appState().sourceTotalSize, 100);
  const int scan = app::appState().scanThread;
  ASSERT_NE(scan, 0);
  // The scan's end is its last post served here, not its thread's end.
  ASSERT_TRUE(platform::pumpUntil(
      [&] { return !platform::threadRunning(scan) && app::appState().scannedSource == source; },
      180000));
  EXPECT_EQ(app::appState().sourceTotalSize, 70);
  EXPECT_EQ(textOf(GetDlgItem(mainWindow(), app::kSourceInfoLine)),
            " 9 Eléments à copier, sous-dossiers inclus");
  EXPECT_TRUE(IsWindowEnabled(mainWindow()));
  EXPECT_EQ(app::appState().statusText.get(), "");
  for (const auto& name : files) DeleteFileW((root + name).c_str());
  RemoveDirectoryW((root + L"\\vide").c_str());
  RemoveDirectoryW((root + L"\\plein").c_str());
  RemoveDirectoryW(root.c_str());
}

TEST_F(MainWindowOnWindows, CloseBoxArrivesAsTheCloseEvent) {
  PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
  const platform::Event event = platform::waitEvent();
  EXPECT_EQ(event.code, platform::kEventClose);
  EXPECT_EQ(event.window, app::kMainWindow);
  EXPECT_TRUE(IsWindow(mainWindow()));  // the program decides; the window stays until then
}

}  // namespace
