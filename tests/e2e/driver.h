#pragma once
// What every end-to-end driver does from outside the program: find its
// windows, read their texts across processes, wait for them, and read, write
// and compare the files it works on.
#include <windows.h>
// After windows.h.
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "version.h"

namespace e2e {

// How long a driver waits for the program before it calls it hung: only a
// hang reaches it, however busy the machine.
inline constexpr int kHangCeilingMs = 180000;

inline std::wstring widen(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), length);
  result.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
  return result;
}

// WM_GETTEXT works across processes where GetWindowText does not.
inline std::wstring textOf(HWND hwnd) {
  wchar_t buffer[8192] = {};
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  return buffer;
}

// The window `find` answers, asked every 10 ms; none after `timeoutMs`.
template <typename Found>
HWND waitFor(Found find, int timeoutMs = kHangCeilingMs) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (HWND hwnd = find()) return hwnd;
    Sleep(10);
  }
  return nullptr;
}

// A visible top-level window of `process` with this title (and class, unless null).
inline HWND findWindowOf(DWORD process, const wchar_t* className, const std::wstring& title) {
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

// The path in UTF-8, as the program writes paths into its journal.
inline std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The profile folder of the user running the driver, which is the program's too.
inline std::filesystem::path profileFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, path);
  return path;
}

// The title of the program's main window, with the version it was built with.
inline const wchar_t kMainWindowTitle[] = L"Ostrevak Tessune " RAVELUND_VERSION_TITLE;

// The command bar (control 14) of the program's main window, once its last
// button (13) exists: the window shows while its controls are still being
// made. Null when it does not come within `timeoutMs`.
inline HWND waitForCommandBar(HWND window, int timeoutMs = kHangCeilingMs) {
  return waitFor(
      [&] {
        HWND bar = GetDlgItem(window, 14);
        return bar && GetDlgItem(bar, 13) ? bar : nullptr;
      },
      timeoutMs);
}

// The message box of `process` with this caption; none after `timeoutMs`.
inline HWND waitForBox(DWORD process, const std::wstring& caption, int timeoutMs = kHangCeilingMs) {
  return waitFor([&] { return findWindowOf(process, L"#32770", caption); }, timeoutMs);
}

// Reads a message box's text, presses its `button` and waits for the box to
// go; the text.
inline std::wstring answer(HWND box, int button) {
  const std::wstring text = textOf(GetDlgItem(box, 0xFFFF));
  PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
  waitFor([&] { return IsWindow(box) ? nullptr : GetDesktopWindow(); });
  return text;
}

// Puts `folder`, with a trailing separator as the choosers give it, into the
// path field `control` of the main window.
inline void typeFolder(HWND window, int control, const std::filesystem::path& folder) {
  const std::wstring text = folder.wstring() + L"\\";
  SendMessageW(GetDlgItem(window, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every folder and file below `root` by relative name, a file by its bytes.
inline std::map<std::wstring, std::string> snapshot(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::map<std::wstring, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::wstring name = fs::relative(entry.path(), root).wstring();
    tree[name] = entry.is_directory() ? std::string("<folder>") : readBytes(entry.path());
  }
  return tree;
}

}  // namespace e2e
