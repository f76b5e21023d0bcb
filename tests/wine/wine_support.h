#pragma once
// Helpers shared by the Win32 tests of the owner-drawn buttons and the
// preferences window: pumping messages, reading a window's pixels back, and
// counting the process's GDI and user objects.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace winetest {

// Dispatches this thread's messages for `milliseconds`.
void pump(int milliseconds);

// The client area of `hwnd` as it is on screen, copied into a bitmap.
class Pixels {
 public:
  explicit Pixels(HWND hwnd);
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF at(int x, int y) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<COLORREF> pixels_;
};

// Repaints `hwnd` at once, its background erased.
void repaintNow(HWND hwnd);

// GDI objects of this process. Wine does not count them for GetGuiResources,
// so there the live entries of the process's GDI handle table are counted.
int gdiObjects();
// User objects of this process; under Wine the windows of this thread, the
// owned pop-ups and children included.
int userObjects();

std::string textOf(HWND hwnd);

// A program path (UTF-8) in the long form the wide file functions take.
std::wstring longForm(const std::string& path);
// A folder name under the temporary folder, in its long form (UTF-8), that no
// earlier test used: `prefix`, this process's number and the tick count. The
// folder is not created.
std::string freshTempFolderName(const std::string& prefix);
// Writes `bytes` as the whole file at `path` (a program path); false when it
// could not be written whole.
bool writeFile(const std::string& path, const std::string& bytes);

// Runs `step` from a timer on this thread every few milliseconds while the
// thread sits in a modal loop (the preferences window, a message box), until
// `step` answers true. The timer is stopped when the object goes away.
class TimerScript {
 public:
  explicit TimerScript(std::function<bool()> step);
  ~TimerScript();
  TimerScript(const TimerScript&) = delete;
  TimerScript& operator=(const TimerScript&) = delete;
  bool finished() const { return finished_; }

 private:
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
  std::function<bool()> step_;
  UINT_PTR timer_ = 0;
  bool finished_ = false;
};

}  // namespace winetest
