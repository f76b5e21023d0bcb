// Starts the real ravelund.exe and works its window from outside, as a user
// would: finds it, clicks its buttons, reads and answers its message boxes.
//
//   ravelund_e2e PATH\TO\ravelund.exe
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::wstring programPath;

std::wstring widen(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), length);
  result.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
  return result;
}

// WM_GETTEXT works across processes where GetWindowText does not.
std::wstring textOf(HWND hwnd) {
  wchar_t buffer[8192] = {};
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  return buffer;
}

template <typename Found>
HWND waitFor(Found find, int timeoutMs = 20000) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (HWND hwnd = find()) return hwnd;
    Sleep(20);
  }
  return nullptr;
}

HWND findWindowOf(DWORD process, const wchar_t* className, const std::wstring& title) {
  struct Search {
    DWORD process;
    const wchar_t* className;
    const std::wstring* title;
    HWND found;
  } search{process, className, &title, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM parameter) -> BOOL {
        auto* s = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        wchar_t caption[512] = {};
        GetWindowTextW(hwnd, caption, 512);
        if (owner == s->process && IsWindowVisible(hwnd) &&
            (!s->className || lstrcmpW(name, s->className) == 0) && *s->title == caption) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class RunningProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + programPath + L"\"";
    ASSERT_TRUE(CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process_));
    const std::wstring title = widen("Ostrevak Tessune 1.0.09.10");
    window_ = waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, title); });
    ASSERT_NE(window_, nullptr) << "the main window never appeared";
    // The window is found while its controls are still being made: wait for the last one.
    bar_ = waitFor([&] {
      HWND bar = GetDlgItem(window_, 14);
      return bar && GetDlgItem(bar, 13) ? bar : nullptr;
    });
    ASSERT_NE(bar_, nullptr);
  }

  void TearDown() override {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  void click(int control) {
    PostMessageW(GetDlgItem(bar_, control), BM_CLICK, 0, 0);
  }

  bool endsWithin(int milliseconds, DWORD* exitCode) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
      return false;
    }
    GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
  }

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};

TEST_F(RunningProgram, ShowsItsWindowWithEveryCommandButton) {
  const char* captions[] = {"Démarrer", "Annuler", "Paramètres", "Journal",
                            "Aide",     "Explorer", "Ostrevak"};
  for (int control = 15; control <= 21; ++control) {
    HWND button = GetDlgItem(bar_, control);
    ASSERT_NE(button, nullptr) << control;
    EXPECT_EQ(textOf(button), widen(captions[control - 15]));
  }
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 600);
  EXPECT_EQ(client.bottom, 410);
}

TEST_F(RunningProgram, HelpButtonShowsTheQuickHelpBox) {
  click(19);
  const std::wstring caption = widen("Ravelund, comment ça marche");
  HWND box = waitFor([&] { return findWindowOf(process_.dwProcessId, L"#32770", caption); });
  ASSERT_NE(box, nullptr) << "no help box";
  const std::wstring text = textOf(GetDlgItem(box, 0xFFFF));
  EXPECT_EQ(text.rfind(widen("Fonctionnement général de Ostrevak Tessune"), 0), 0u);
  EXPECT_NE(text.find(widen("Cordialement, Meldrin")), std::wstring::npos);
  // While the box is open the main window takes no input.
  EXPECT_FALSE(IsWindowEnabled(window_));
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(waitFor([&] { return IsWindow(box) ? nullptr : window_; }, 5000));
  EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, 5000));
}

// The settings file in the profile folder, as the program names it.
std::wstring settingsFile() {
  wchar_t profile[MAX_PATH] = {};
  GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
  return std::wstring(profile) + L"\\ravelund.ini";
}

TEST_F(RunningProgram, ParametresOpensThePreferencesAndEnregistrerSavesTheTicks) {
  const std::wstring file = settingsFile();
  DeleteFileW(file.c_str());
  click(17);
  const std::wstring title = widen("Ravelund Préférences");
  HWND preferences = waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, title); });
  ASSERT_NE(preferences, nullptr) << "no preferences window";
  HWND lastBox = waitFor([&] { return GetDlgItem(preferences, 37); });
  ASSERT_NE(lastBox, nullptr);
  EXPECT_FALSE(IsWindowEnabled(window_));
  // Clicks on the main window's buttons go nowhere meanwhile.
  click(19);
  Sleep(300);
  EXPECT_EQ(findWindowOf(process_.dwProcessId, L"#32770", widen("Ravelund, comment ça marche")),
            nullptr);
  SendMessageW(GetDlgItem(preferences, 33), BM_CLICK, 0, 0);
  SendMessageW(GetDlgItem(preferences, 34), BM_CLICK, 0, 0);
  HWND panel = GetDlgItem(preferences, 38);
  ASSERT_NE(panel, nullptr);
  PostMessageW(GetDlgItem(panel, 39), BM_CLICK, 0, 0);
  ASSERT_TRUE(waitFor([&] { return IsWindow(preferences) ? nullptr : window_; }, 5000));
  EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, 5000));
  std::ifstream in(file.c_str(), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(),
            "verif = ok\r\nspace = ok\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n");
  in.close();
  DeleteFileW(file.c_str());
}

TEST_F(RunningProgram, CancelButtonWithNoCopyQuits) {
  click(16);
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(RunningProgram, CloseBoxQuits) {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ravelund_e2e PATH\\TO\\ravelund.exe\n");
    return 2;
  }
  programPath = argv[1];
  return RUN_ALL_TESTS();
}
