#pragma once
// The headless windowing backend's test side. It records everything the
// program shows (texts, states, values, colours, boxes, drawings) and lets a
// test act like a user: press controls, choose menu items, move or close a
// window, answer each message box and folder chooser from a script, and
// advance the timers without waiting in real time.
//
// The program can run on a UI thread of its own (startProgram): the test then
// drives it from outside and calls waitIdle() after each action. Tests that
// call handlers directly run them on the test thread, which is then the UI
// thread; advanceTime() runs due timers at once on the calling thread.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/taskbar.h"
#include "platform/ui.h"

namespace platform::headless {

struct ControlState {
  int window = 0;
  int parent = 0;  // container number, 0 for the window itself
  ControlKind kind = ControlKind::label;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string text;
  int image = 0;
  bool enabled = true;
  bool checked = false;
  std::optional<Rgb> textColour;
  std::optional<Rgb> backColour;
  int font = 0;
  std::int64_t progressMaximum = 100;
  std::int64_t progressValue = 0;
  std::int64_t textLimit = 0;
  std::vector<std::string> lines;  // rich-text area
  std::string tooltip;
  int textChanges = 0;  // how many times the text was set
};

struct WindowState {
  WindowSpec spec;
  bool open = false;
  bool enabled = true;
  int updates = 0;  // immediate repaints asked for
};

struct StatusField {
  std::string text;
  FieldStyle style = FieldStyle::sunken;
  friend bool operator==(const StatusField&, const StatusField&) = default;
};

struct StatusBarState {
  int window = 0;
  std::vector<int> rightEdges;
  int minimumHeight = 0;
  std::vector<StatusField> fields;
};

struct BoxRecord {
  std::string caption;
  std::string text;
  int kind = 0;
  int answer = 0;
  bool scripted = false;  // false: nobody had scripted an answer
  bool onUiThread = true;
  bool flashed = false;  // shown while the window was not in front
};

struct ChooserRecord {
  std::string title;
  std::string initialFolder;
  std::string result;
};

struct DrawRecord {
  enum Kind { kImage, kText } kind = kImage;
  int window = 0;
  int image = 0;
  int font = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string text{};
  Rgb colour{};
};

struct MenuShown {
  int menu = 0;
  int window = 0;
  Point position;
};

struct FontRecord {
  FontSpec spec;
};

struct TimerState {
  int window = 0;
  int timer = 0;
  int period = 0;
};

// Forgets every window, control, record and script (between tests).
void reset();

// ---- Acting as the user --------------------------------------------------------
void pressControl(int control);
void chooseMenuItem(int window, int item);
void moveWindow(int window);
void closeWindowBox(int window);
void setCursor(Point screenPosition);
// Makes every later attempt to open `window` fail (until reset).
void refuseToOpen(int window);
// Types into an edit field as the user would (no event: path fields are read
// when used).
void typeText(int control, std::string text);

// Answers for the next message boxes and folder choosers, in order. A box with
// no scripted answer gets OK, No or Cancel and is marked unscripted; a chooser
// with no scripted answer is cancelled.
void answerNextBox(int answer);
void answerNextChooser(std::string folder);

// ---- Running the program on its own UI thread -------------------------------------
// How long a test waits for the program before it calls it hung: only a hang
// reaches it, however busy the machine.
inline constexpr int kHangCeilingMs = 180000;

void startProgram(std::function<void()> program);
// Waits until the UI thread waits for an event with none queued; false after
// `timeoutMs`.
bool waitIdle(int timeoutMs = kHangCeilingMs);
// Waits until the UI thread is idle and no thread of the thread table runs,
// so that whatever an action set off, on threads that start one another
// through the UI thread too, has come back; false after `timeoutMs`.
bool waitSettled(int timeoutMs = kHangCeilingMs);
// Waits for the program's UI thread to end; false after `timeoutMs`.
bool waitProgramEnd(int timeoutMs = kHangCeilingMs);
bool programRunning();

// Moves the virtual clock on: each timer due in that time fires, in order, on
// the UI thread (or the calling thread when no program runs on its own).
void advanceTime(int milliseconds);

// ---- What the program showed -------------------------------------------------------
ControlState control(int number);
bool hasControl(int number);
std::vector<int> controlsInCreationOrder();
WindowState window(int number);
StatusBarState statusBar(int number);
std::vector<BoxRecord> boxes();
std::vector<ChooserRecord> choosers();
std::vector<DrawRecord> draws();
void clearDraws();
std::vector<MenuShown> menusShown();
bool menuItemEnabled(int menu, int item);
std::vector<MenuEntry> menuEntries(int menu);
std::vector<std::string> exploredFolders();
std::vector<std::string> openedAddresses();
std::optional<FontSpec> font(int number);
std::optional<Picture> image(int number);
std::vector<TimerState> runningTimers();
// Every text an edit or label control was given, in order (live counts).
std::vector<std::string> textHistory(int control);

// ---- Power and taskbar ------------------------------------------------------------------
// The requests to keep the machine awake (platform::holdSystemAwake): how
// many threads hold one now, and how many were ever made. Not cleared by reset.
struct WakeRequests {
  int holders = 0;
  int made = 0;
};
WakeRequests wakeRequests();

// What the taskbar button shows (platform::setTaskbarProgress), and every
// state it was given, in order.
struct TaskbarRecord {
  TaskbarProgress state = TaskbarProgress::none;
  int percent = 0;
  std::vector<TaskbarProgress> history;
  int flashes = 0;  // times the button was made to flash
};
TaskbarRecord taskbar();
// Whether the program's window is in front (true at first and after reset):
// a box shown while it is not makes the button flash.
void setWindowInFront(bool inFront);
// A click in the window's client area, outside its controls (pressing a
// control counts as a click too).
void clickWindow(int window);

}  // namespace platform::headless
