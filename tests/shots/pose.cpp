// Puts the running program's command bar and preferences window into the
// states that scripts/screenshot-buttons.sh photographs, and tells the script
// where they are on the screen. Works from outside, like a user's tools: it
// finds the windows by title and sends them messages.
//
//   ravelund_pose rect bar|preferences     prints "X Y WIDTH HEIGHT"
//   ravelund_pose centre N                  prints "X Y" of command button N
//   ravelund_pose reset                     every command button normal again
//   ravelund_pose press N | disable N       one button pressed or disabled
//   ravelund_pose open-preferences          clicks "Paramètres", waits for the window
//   ravelund_pose tick N...                 ticks preference boxes
//   ravelund_pose close-preferences | quit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "version.h"

namespace {

constexpr wchar_t kMainTitle[] = L"Ostrevak Tessune " RAVELUND_VERSION_TITLE;
constexpr wchar_t kPreferencesTitle[] = L"Ravelund Pr\u00e9f\u00e9rences";
constexpr int kButtonBar = 14;
constexpr int kSettingsButton = 17;

HWND mainWindow() { return FindWindowW(nullptr, kMainTitle); }
HWND bar() { return GetDlgItem(mainWindow(), kButtonBar); }
HWND commandButton(int number) { return GetDlgItem(bar(), number); }

HWND waitFor(const wchar_t* title) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    HWND hwnd = FindWindowW(nullptr, title);
    if (hwnd && IsWindowVisible(hwnd)) return hwnd;
    Sleep(50);
  }
  return nullptr;
}

void printRect(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
}

void repaint(HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* command = argv[1];
  const int number = argc > 2 ? std::atoi(argv[2]) : 0;
  if (!waitFor(kMainTitle)) {
    std::fprintf(stderr, "ravelund_pose: no main window\n");
    return 1;
  }
  if (std::strcmp(command, "rect") == 0 && argc > 2) {
    HWND hwnd = std::strcmp(argv[2], "bar") == 0 ? bar() : waitFor(kPreferencesTitle);
    if (!hwnd) return 1;
    printRect(hwnd);
  } else if (std::strcmp(command, "centre") == 0) {
    RECT rect{};
    GetWindowRect(commandButton(number), &rect);
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  } else if (std::strcmp(command, "reset") == 0) {
    for (int button = 15; button <= 21; ++button) {
      HWND hwnd = commandButton(button);
      EnableWindow(hwnd, TRUE);
      SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
      SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
      repaint(hwnd);
    }
  } else if (std::strcmp(command, "press") == 0) {
    SendMessageW(commandButton(number), BM_SETSTATE, TRUE, 0);
    repaint(commandButton(number));
  } else if (std::strcmp(command, "disable") == 0) {
    EnableWindow(commandButton(number), FALSE);
    repaint(commandButton(number));
  } else if (std::strcmp(command, "open-preferences") == 0) {
    PostMessageW(commandButton(kSettingsButton), BM_CLICK, 0, 0);
    if (!waitFor(kPreferencesTitle)) return 1;
  } else if (std::strcmp(command, "tick") == 0) {
    HWND preferences = waitFor(kPreferencesTitle);
    if (!preferences) return 1;
    for (int i = 2; i < argc; ++i) {
      SendMessageW(GetDlgItem(preferences, std::atoi(argv[i])), BM_SETCHECK, BST_CHECKED, 0);
    }
  } else if (std::strcmp(command, "close-preferences") == 0) {
    if (HWND preferences = FindWindowW(nullptr, kPreferencesTitle)) {
      PostMessageW(preferences, WM_CLOSE, 0, 0);
    }
  } else if (std::strcmp(command, "quit") == 0) {
    PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
  } else {
    return 2;
  }
  return 0;
}
