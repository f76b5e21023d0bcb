#pragma once
// Shared state of the Win32 windowing backend. Only platform/win32 sees it.
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/lasting.h"
#include "platform/ui.h"
#include "platform/win32/gdi.h"

namespace platform::win32 {

using platform::lasting;

struct WindowRecord {
  HWND hwnd = nullptr;
  bool ready = false;  // shown; moves from now on are the user's
  int dpi = 96;        // the window's DPI, which every size in it is scaled by
};

struct ControlRecord {
  HWND hwnd = nullptr;
  int window = 0;
  ControlKind kind = ControlKind::label;
  // Where it lies in its parent and how big, in 96-dpi units.
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int font = 0;   // the program's font number; 0: the default GUI font
  int image = 0;  // the picture or icon it shows, 0: none
  bool hasTextColour = false;
  COLORREF textColour = 0;
  bool hasBackColour = false;
  COLORREF backColour = 0;
  Brush backBrush;
};

struct ImageRecord {
  ImageKind kind = ImageKind::bitmap;
  Bitmap bitmap;                // at 96 dpi
  Icon icon;                    // at 96 dpi
  Picture picture;              // the 96-dpi pixels, kept for copying pieces out
  std::vector<Picture> larger;  // drawings for higher scales, smallest first
  // Made for other DPIs when first asked for, by DPI.
  std::map<int, Bitmap> bitmapAt;
  std::map<int, Icon> iconAt;
  std::map<int, int> sourceWidthAt;  // the width of the drawing each was made from
};

struct FontRecord {
  FontSpec spec;
  std::map<int, Font> at;  // by DPI
};

struct StatusBarRecord {
  HWND hwnd = nullptr;
  int window = 0;
  std::vector<int> rightEdges;  // 96-dpi units
  int minimumHeight = 0;
};

struct TooltipRecord {
  HWND hwnd = nullptr;
  int window = 0;
  int maximumWidth = 0;  // 96-dpi units, 0: none set
  int titleIcon = 0;
  std::wstring title;
};

struct Registry {
  std::mutex mutex;
  std::map<int, WindowRecord> windows;
  std::map<int, ControlRecord> controls;
  std::map<HWND, int> controlByHandle;
  std::map<int, FontRecord> fonts;
  std::map<int, Font> guiFonts;  // the default GUI font made for a DPI, by DPI
  std::map<int, ImageRecord> images;
  std::map<int, Menu> menus;
  std::map<int, StatusBarRecord> statusBars;
  std::map<std::pair<int, int>, std::function<void()>> timers;
  std::vector<TooltipRecord> tooltips;
  HWND container = nullptr;
};

Registry& registry();

// Under the registry's lock: what `read` takes out of the record filed under
// `key` in the registry's `records` (read(record, registry)), else `absent`.
template <typename Value, typename Records, typename Read>
Value readRecord(Records Registry::*records, const typename Records::key_type& key, Value absent,
                 Read read) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  const Records& filed = r.*records;
  const auto it = filed.find(key);
  return it == filed.end() ? absent : read(it->second, r);
}

// With the registry locked: the control whose window is `hwnd`, else null.
ControlRecord* controlByHandleLocked(Registry& r, HWND hwnd);

// The class of the panels (containers) that group controls inside a window.
inline constexpr wchar_t kPanelClass[] = L"OstrevakTessunePanel";

HWND windowHandle(int window);
// Where a new control of `window` goes: the open container, else the window;
// null when the window does not exist.
HWND controlParent(int window);
HWND controlHandle(int control);
int windowNumber(HWND hwnd);

// ---- Display scale (scale.cpp) ----------------------------------------------

// The DPI of the screen as the system reports it to this process (the system
// DPI, fixed at log-on).
int systemDpi();
// The DPI the system gives `hwnd` (GetDpiForWindow where it exists, else the
// system DPI).
int dpiOfHandle(HWND hwnd);
// The DPI a window of the program is laid out for; 96 when it does not exist.
int windowDpi(int window);
// The DPI of the window a control lies in.
int controlDpi(int control);
// The DPI of a monitor (GetDpiForMonitor where it exists, else the system DPI).
int monitorDpi(HMONITOR monitor);
// AdjustWindowRectExForDpi where it exists, else AdjustWindowRectEx.
void adjustFrameForDpi(RECT* rect, DWORD style, DWORD exStyle, int dpi);
// The default GUI font made for `dpi`: its face and 96-dpi size, at that DPI
// (the stock object itself at 96 dpi on a 96-dpi system).
HFONT guiFontFor(int dpi);
// The program's font made for `dpi`; null when there is no such font.
HFONT fontFor(int font, int dpi);
// The image's bitmap or icon made for `dpi`: its own at 96 dpi, else drawn
// from the smallest of its drawings at least as large as needed, scaled
// smoothly to its 96-dpi size scaled. Null when there is no such image.
HBITMAP bitmapFor(int image, int dpi);
HICON iconFor(int image, int dpi);
// The width of the drawing that iconFor / bitmapFor made the `dpi` image from.
int sourceWidthFor(int image, int dpi);
// The minimum height to ask of a status bar so that the whole bar, with its
// borders (which do not scale), is its 96-dpi height scaled.
int statusBarMinimumHeight(int minimum96, int dpi);
// The window takes `dpi`: its controls are placed, sized, given their fonts
// and pictures again, its status bar and tooltips likewise.
void applyWindowDpi(int window, int dpi);

// The UI thread's queue of posted work (ui_queue.cpp): made by initialise on
// the UI thread, gone with releaseAll.
bool createUiQueue();
void destroyUiQueue();

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
