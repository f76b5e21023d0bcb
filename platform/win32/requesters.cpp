// Message boxes, the folder chooser and the shell's explore and open verbs.
#include "platform/win32/ui_internal.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/win32/paths.h"
#include "platform/win32/taskbar.h"
#include "platform/win32/text.h"

namespace platform::win32 {

HWND requesterOwner() {
  HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground) GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId() ? foreground : nullptr;
}

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND except) {
  struct Context {
    HWND except;
    std::vector<HWND>* disabled;
  } context{except, &disabled_};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM parameter) -> BOOL {
        auto* c = reinterpret_cast<Context*>(parameter);
        if (hwnd != c->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
          c->disabled->push_back(hwnd);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));
  for (HWND hwnd : disabled_) EnableWindow(hwnd, FALSE);
}

ThreadWindowsDisabled::~ThreadWindowsDisabled() {
  for (HWND hwnd : disabled_) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
}

namespace {

bool isFolder(const std::wstring& path) {
  // In the long form, so that a path past 260 characters is looked up whole.
  const DWORD attributes = GetFileAttributesW(longPath(narrow(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isAbsolute(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\');
}

// What the chooser learns while it is open.
struct ChooserContext {
  std::wstring initial;
  std::wstring selected;  // file-system path of the current selection
  std::wstring shown;     // what the dialog itself put into the edit box
  std::wstring typed;     // the edit box when OK was pressed
};

constexpr UINT kReadEditBox = WM_APP + 7;
constexpr int kEditBox = 0x3745;

std::wstring editBoxText(HWND dialog) {
  wchar_t buffer[32768];
  buffer[0] = L'\0';
  GetDlgItemTextW(dialog, kEditBox, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

// Sees the OK button before the dialog does, to keep what the user typed
// (some shells, Wine's among them, ignore a path typed into the edit box).
LRESULT CALLBACK chooserSubclass(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR, DWORD_PTR data) {
  auto* context = reinterpret_cast<ChooserContext*>(data);
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) context->typed = editBoxText(dialog);
  if (message == kReadEditBox) {
    context->shown = editBoxText(dialog);
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(dialog, chooserSubclass, 1);
  return DefSubclassProc(dialog, message, wParam, lParam);
}

// The file-system path of a chooser item, however long ("" for a virtual
// folder): the form of the call that takes the buffer's size, so a path past
// 260 characters is not taken for no path at all.
std::wstring pathOfItem(PCIDLIST_ABSOLUTE item) {
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    return {};
  }
  path.resize(wcslen(path.c_str()));
  return path;
}

int CALLBACK chooserCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
  auto* context = reinterpret_cast<ChooserContext*>(data);
  if (message == BFFM_INITIALIZED) {
    SetWindowSubclass(dialog, chooserSubclass, 1, reinterpret_cast<DWORD_PTR>(context));
    if (!context->initial.empty()) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                   reinterpret_cast<LPARAM>(context->initial.c_str()));
    }
  } else if (message == BFFM_SELCHANGED) {
    context->selected = pathOfItem(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
    // The dialog updates its edit box after this notification.
    PostMessageW(dialog, kReadEditBox, 0, 0);
  }
  return 0;
}

std::wstring withTrailingSeparator(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

}  // namespace
}  // namespace platform::win32

namespace platform {

using namespace platform::win32;

int messageBox(std::string_view caption, std::string_view text, int kind) {
  HWND owner = requesterOwner();
  // On closing, a box enables its owner again: a window the program has
  // disabled (the main window during a verification) must stay so until the
  // program itself enables it, and is not given as the owner.
  if (owner && !IsWindowEnabled(owner)) owner = nullptr;
  flashIfNotInFront();
  ThreadWindowsDisabled others(owner);
  return MessageBoxW(owner, widen(text).c_str(), widen(caption).c_str(),
                     static_cast<UINT>(kind) | MB_SETFOREGROUND);
}

std::string chooseFolder(std::string_view title, std::string_view initialFolder) {
  ChooserContext context;
  context.initial = widen(initialFolder);
  if (context.initial.size() > 3 && context.initial.back() == L'\\') context.initial.pop_back();
  const std::wstring wideTitle = widen(title);
  HWND owner = requesterOwner();
  ThreadWindowsDisabled others(owner);
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = wideTitle.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
  browse.lpfn = chooserCallback;
  browse.lParam = reinterpret_cast<LPARAM>(&context);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return {};
  std::wstring path = pathOfItem(chosen);
  CoTaskMemFree(chosen);
  // Wine cuts an item's path at 260 characters whatever the buffer: a cut
  // path names another folder, or none, and is never the answer.
  if (!path.empty() && !isFolder(path)) path.clear();
  // A path the user typed names the chosen folder, as long as it is one.
  if (!context.typed.empty() && context.typed != context.shown) {
    std::wstring candidate = context.typed;
    if (!isAbsolute(candidate) && !context.selected.empty()) {
      candidate = withTrailingSeparator(context.selected) + candidate;
    }
    if (isAbsolute(candidate) && isFolder(candidate)) path = candidate;
  }
  // A selection without a file-system path (a virtual folder) counts as cancelled.
  if (path.empty()) return {};
  return narrow(withTrailingSeparator(path));
}

void exploreFolder(std::string_view folder) {
  ShellExecuteW(nullptr, L"explore", widen(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void openWebAddress(std::string_view address) {
  ShellExecuteW(nullptr, nullptr, widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
