#pragma once
// Shared state of the Win32 windowing backend. Only platform/win32 sees it.
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "platform/image.h"
#include "platform/ui.h"

namespace platform::win32 {

struct WindowRecord {
  HWND hwnd = nullptr;
  bool ready = false;  // shown; moves from now on are the user's
};

struct ControlRecord {
  HWND hwnd = nullptr;
  int window = 0;
  ControlKind kind = ControlKind::label;
  bool hasTextColour = false;
  COLORREF textColour = 0;
  bool hasBackColour = false;
  COLORREF backColour = 0;
  HBRUSH backBrush = nullptr;
};

struct ImageRecord {
  ImageKind kind = ImageKind::bitmap;
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
  Picture picture;  // the pixels, kept for copying pieces out
};

struct Registry {
  std::mutex mutex;
  std::map<int, WindowRecord> windows;
  std::map<int, ControlRecord> controls;
  std::map<HWND, int> controlByHandle;
  std::map<int, HFONT> fonts;
  std::map<int, ImageRecord> images;
  std::map<int, HMENU> menus;
  std::map<int, HWND> statusBars;
  std::map<std::pair<int, int>, std::function<void()>> timers;
  std::vector<HWND> tooltips;
  HWND container = nullptr;
};

Registry& registry();

// The class of the panels (containers) that group controls inside a window.
inline constexpr wchar_t kPanelClass[] = L"OstrevakTessunePanel";

HWND windowHandle(int window);
// Where a new control of `window` goes: the open container, else the window;
// null when the window does not exist.
HWND controlParent(int window);
HWND controlHandle(int control);
int windowNumber(HWND hwnd);

// The UI thread's queue of posted work (ui_queue.cpp): made by initialise on
// the UI thread, gone with releaseAll.
bool createUiQueue();
void destroyUiQueue();

// Runs `work` on the thread that owns `hwnd` and waits for it; at once when
// the caller is that thread.
void runOnOwnerThread(HWND hwnd, const std::function<void()>& work);

// Events of the calling thread's windows, filled by the window procedures.
std::deque<Event>& threadEvents();

// The foreground window when it belongs to this process, else none.
HWND requesterOwner();

// Disables the calling thread's other visible, enabled top-level windows while
// a requester is open, and enables them again when it goes away.
class ThreadWindowsDisabled {
 public:
  explicit ThreadWindowsDisabled(HWND except);
  ~ThreadWindowsDisabled();
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

 private:
  std::vector<HWND> disabled_;
};

}  // namespace platform::win32
