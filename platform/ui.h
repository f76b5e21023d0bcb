#pragma once
// The windowing layer: windows, controls, fonts, images, the status bar, the
// popup menu, tooltips, events, timers, message boxes, the folder chooser and
// the shell, all known by the numbers the program gives them. Every text is
// UTF-8. Control numbers are unique across the program's windows.
//
// Thread rules: every window belongs to the UI thread, the thread that called
// initialise(). A worker thread hands what the window must show to the UI
// thread with postToUi and never draws, shows a box or opens a window itself.
// The layer still carries a control call made on another thread to the UI
// thread and waits for it. Timer callbacks and painters run on the UI thread.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/image.h"

namespace platform {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(Rgb, Rgb) = default;
};

struct Point {
  int x = 0;
  int y = 0;
};

// Once at start-up, before any window; false when the layer cannot work.
bool initialise();
// At exit: releases every window, control, font, image, menu and library the
// layer still holds; work still waiting for the UI thread is dropped.
void releaseAll();

// Runs `work` on the UI thread the next time it dispatches (its event wait,
// a pump, a nested loop of a box or window), after the work posted before it;
// returns at once. Any thread, the UI thread included.
void postToUi(std::function<void()> work);

// ---- Windows -----------------------------------------------------------------

struct WindowSpec {
  std::string title;
  int clientWidth = 0;
  int clientHeight = 0;
  bool sizable = false;  // sizing border
  bool minimiseBox = false;
  bool maximiseBox = false;
  bool programIcon = true;  // the program's icon resource 1
};

// Opens a top-level window centred on the work area of its monitor and shows
// it. Every position and size this layer takes (window client areas, control
// rectangles, status bar fields, drawing and painting areas) is in 96-dpi
// units: the layer scales it by the window's DPI (platform/dpi.h), and lays
// the window out again when it moves to a monitor of another scale.
bool openWindow(int window, const WindowSpec& spec);
void closeWindow(int window);
// Asks the window to close as its close box does: the thread that owns it gets
// a close event. Any thread; returns at once.
void postClose(int window);
bool windowExists(int window);
void setWindowEnabled(int window, bool enabled);
bool isWindowEnabled(int window);
// Makes the window process its pending repaint at once, children included.
void updateWindowNow(int window);

// ---- Controls ----------------------------------------------------------------

enum class ControlKind {
  picture,      // shows an image; takes no clicks when disabled
  edit,         // single-line edit field with a sunken border
  label,        // static text without border
  progress,     // progress bar
  container,    // panel holding further controls, thin static edge
  pushButton,   // push button with a caption
  imageButton,  // push button showing an image (picture or icon) instead of a caption
  checkBox,
  richText,  // read-only multi-line text area
};

struct ControlSpec {
  int number = 0;
  ControlKind kind = ControlKind::label;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string text;
  int image = 0;  // image number shown by picture and image-button controls
};

// Creates a control in `window`, inside the open container if there is one.
bool createControl(int window, const ControlSpec& spec);
// Controls created after this call go inside the container until closeContainer.
void openContainer(int container);
void closeContainer();
bool controlExists(int control);

void setText(int control, std::string_view text);
std::string getText(int control);
void setEnabled(int control, bool enabled);
bool isEnabled(int control);
void setTextColour(int control, Rgb colour);
void setBackColour(int control, Rgb colour);
void setControlFont(int control, int font);
void setProgressRange(int control, std::int64_t maximum);
void setProgressValue(int control, std::int64_t value);
std::int64_t progressValue(int control);
void redrawNow(int control);
void setChecked(int control, bool checked);
bool isChecked(int control);
// Rich-text area: raises the text limit and turns on wrapping.
void setTextLimit(int control, std::int64_t characters);
// Rich-text area: adds these lines after its last one, in one go.
void appendLines(int control, std::span<const std::string> lines);

// ---- Status bar, popup menu, tooltips -----------------------------------------

enum class FieldStyle { sunken, raised };

// `rightEdges` are the fields' right edges as running sums of their widths.
bool createStatusBar(int window, int statusBar, const std::vector<int>& rightEdges,
                     int minimumHeight);
void setStatusField(int statusBar, int field, std::string_view text, FieldStyle style);

struct MenuEntry {
  int item = 0;  // 0 = a separator line
  std::string text;
};
bool createPopupMenu(int menu, const std::vector<MenuEntry>& entries);
void setMenuItemEnabled(int menu, int item, bool enabled);
bool isMenuItemEnabled(int menu, int item);
Point cursorPosition();
// The choice arrives later as a menu event.
void showPopupMenu(int menu, int window, Point screenPosition);

void addPlainTooltip(int window, int control, std::string_view text);

// ---- Fonts and images ------------------------------------------------------------

struct FontSpec {
  std::string face;
  int points = 0;
  int weight = 400;
  bool italic = false;
  bool proofQuality = false;
};
bool createFont(int font, const FontSpec& spec);

enum class ImageKind { bitmap, icon };
bool createImage(int image, const Picture& picture, ImageKind kind);
// A larger drawing of `image` (made with createImage from its 96-dpi drawing),
// for windows at a higher DPI: they draw from the smallest drawing at least
// as large as they need, scaled smoothly to the exact size.
bool addImageScale(int image, const Picture& picture);
bool imageExists(int image);
// A new bitmap `target` holding the piece of `source` at (x, y), width × height
// (96-dpi units; each larger drawing is cut at the scaled place).
bool copyImageRect(int source, int target, int x, int y, int width, int height);

// Drawing onto a window's client area. A painter is handed the surface of
// its paint request; Surface(window) takes one of its own (children not
// clipped out), for tests and tools. Each surface keeps its own drawing state;
// what it took is released when it goes away.
class Surface {
 public:
  explicit Surface(int window);
  // The device context of a paint request, which the surface does not release.
  Surface(int window, void* paintContext);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  bool valid() const { return handle_ != nullptr; }
  // Plain copy at natural size, or a halftone stretch to width × height.
  void drawImage(int image, int x, int y, int width, int height);
  // One line, transparent background, top-left of the first cell at (x, y).
  void drawText(int font, int x, int y, std::string_view text, Rgb colour);

 private:
  void* handle_ = nullptr;
  void* owner_ = nullptr;  // the system window the device context came from
  int window_ = 0;
  bool borrowed_ = false;
};

struct Area {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool meets(const Area& other) const {
    return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
           other.y < y + height;
  }
};

// Draws over a picture control: each time the control paints (uncovered,
// moved, or part of it invalidated), its picture is drawn and then `painter`,
// on the same device context, with the part to draw, in the control's client
// coordinates. Runs on the UI thread.
using Painter = std::function<void(Surface&, const Area& dirty)>;
void setOverlayPainter(int control, Painter painter);
// Marks `area` of the control to be painted again. On the UI thread the paint
// happens before the call returns; from another thread, at the UI thread's
// next dispatch.
void invalidateArea(int control, const Area& area);

// ---- Events and timers -------------------------------------------------------------

enum EventCode : int {
  kEventMoved = 3,
  kEventClose = 16,
  kEventControl = 13100,
  kEventMenu = 13101,
};

struct Event {
  int code = 0;
  int window = 0;
  int id = 0;  // control or menu item number
};

// Waits without a time limit for the next event of the calling thread's
// windows, dispatching timers and repaints meanwhile.
Event waitEvent();
// The same, waiting at most `timeoutMs` (0: only what is already pending);
// false when no event came.
bool waitEventFor(int timeoutMs, Event& event);
// Dispatches pending work of the calling thread's windows until `done` answers
// true or `timeoutMs` has passed; answers `done()`.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);

void startTimer(int window, int timer, int milliseconds, std::function<void()> callback);
void stopTimer(int window, int timer);

// ---- Requesters and shell -----------------------------------------------------------

enum BoxKind : int {
  kBoxYesNoCancel = 3,
  kBoxYesNo = 4,
  kBoxError = 16,
  kBoxWarning = 48,
  kBoxInformation = 64,
};
enum BoxAnswer : int {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerYes = 6,
  kAnswerNo = 7,
};

// Modal for the whole application; answers the button pressed.
int messageBox(std::string_view caption, std::string_view text, int kind);
// The chosen folder ending with a separator, or "" when cancelled (or when the
// choice has no file-system path).
std::string chooseFolder(std::string_view title, std::string_view initialFolder);

void exploreFolder(std::string_view folder);
void openWebAddress(std::string_view address);

}  // namespace platform
