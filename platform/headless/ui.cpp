// The windowing layer without a screen: every call is recorded, events come
// from the test's script, and timers run on a virtual clock.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/files.h"
#include "platform/headless/buttons.h"
#include "platform/headless/headless.h"

namespace platform::headless {
namespace {

struct Timer {
  int window = 0;
  int timer = 0;
  int period = 0;
  std::int64_t nextDue = 0;
  std::uint64_t order = 0;
  std::function<void()> callback;
};

struct Menu {
  std::vector<MenuEntry> entries;
  std::map<int, bool> enabled;
};

// A window call made from a thread other than the window's own, waiting to be
// run there.
struct Call {
  std::thread::id owner;
  const std::function<void()>* work = nullptr;
  bool done = false;
};

struct World {
  std::mutex mutex;
  std::condition_variable changed;

  std::map<int, WindowState> windows;
  std::set<int> refusedWindows;  // windows that fail to open
  std::map<int, ControlState> controls;
  std::vector<int> creationOrder;
  std::map<int, std::vector<std::string>> textHistory;
  int container = 0;
  std::map<int, StatusBarState> statusBars;
  std::map<int, Menu> menus;
  std::map<int, FontSpec> fonts;
  std::map<int, Picture> images;
  std::map<std::pair<int, int>, Timer> timers;
  std::uint64_t timerOrder = 0;
  std::int64_t now = 0;

  std::deque<Event> events;
  std::deque<std::pair<int, int>> ticks;
  std::deque<int> boxAnswers;
  std::deque<std::string> chooserAnswers;
  Point cursor{100, 100};

  std::vector<BoxRecord> boxes;
  std::vector<ChooserRecord> choosers;
  std::vector<DrawRecord> draws;
  std::vector<MenuShown> menusShown;
  std::vector<std::string> explored;
  std::vector<std::string> addresses;

  std::thread program;
  std::thread::id programThread;
  bool programActive = false;
  bool uiWaiting = false;

  // The thread that opened each window: its controls and timers are served
  // there, as a window's messages are on Win32.
  std::map<int, std::thread::id> windowOwners;
  std::deque<Call*> calls;

  // Work posted for the UI thread, in order, and the painters of pictures.
  std::deque<std::function<void()>> posts;
  std::map<int, Painter> painters;
};

World& world() {
  static World* instance = new World;
  return *instance;
}

bool onProgramThread(const World& w) {
  return w.programActive && std::this_thread::get_id() == w.programThread;
}

// The thread that serves calls to `window`, when a program runs on a UI thread
// of its own and the window belongs to another thread than the caller's.
// Without a program thread (handlers called straight from a test) every call
// runs at once on the calling thread.
std::optional<std::thread::id> servingThread(const World& w, int window) {
  if (!w.programActive) return std::nullopt;
  const auto it = w.windowOwners.find(window);
  const std::thread::id owner = it == w.windowOwners.end() ? w.programThread : it->second;
  if (owner == std::this_thread::get_id()) return std::nullopt;
  return owner;
}

// Runs the calls queued for the calling thread. Called with the lock held;
// releases it while each call runs.
void serveCalls(World& w, std::unique_lock<std::mutex>& lock) {
  const auto me = std::this_thread::get_id();
  for (;;) {
    const auto it = std::find_if(w.calls.begin(), w.calls.end(),
                                 [&](const Call* call) { return call->owner == me; });
    if (it == w.calls.end()) return;
    Call* call = *it;
    w.calls.erase(it);
    lock.unlock();
    (*call->work)();
    lock.lock();
    call->done = true;
    w.changed.notify_all();
  }
}

// Runs the work posted for the UI thread, when the calling thread is the
// program's. Called with the lock held; releases it while each piece runs.
void servePosts(World& w, std::unique_lock<std::mutex>& lock) {
  if (!onProgramThread(w)) return;
  while (!w.posts.empty()) {
    std::function<void()> work = std::move(w.posts.front());
    w.posts.pop_front();
    lock.unlock();
    work();
    lock.lock();
    w.changed.notify_all();
  }
}

bool hasCallsFor(const World& w, std::thread::id thread) {
  return std::any_of(w.calls.begin(), w.calls.end(),
                     [&](const Call* call) { return call->owner == thread; });
}

// Runs `work` on the thread that owns `window` and waits for it, the way a
// sent message waits on Win32: a worker that touches a control while the UI
// thread is busy waits until the UI thread dispatches again.
void runOnOwner(int window, const std::function<void()>& work) {
  World& w = world();
  std::unique_lock lock(w.mutex);
  const auto owner = servingThread(w, window);
  if (!owner) {
    lock.unlock();
    work();
    return;
  }
  Call call{*owner, &work, false};
  w.calls.push_back(&call);
  w.changed.notify_all();
  // A program that has ended serves nobody: the call then runs here.
  w.changed.wait(lock, [&] { return call.done || !w.programActive; });
  if (call.done) return;
  w.calls.erase(std::find(w.calls.begin(), w.calls.end(), &call));
  lock.unlock();
  work();
}

int windowOfControl(int control) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.controls.find(control);
  return it == w.controls.end() ? -1 : it->second.window;
}

template <typename Result, typename Work>
Result onControlOwner(int control, Work work) {
  Result result{};
  runOnOwner(windowOfControl(control), [&] { result = work(); });
  return result;
}

template <typename Work>
void onControlOwner(int control, Work work) {
  runOnOwner(windowOfControl(control), [&] { work(); });
}

bool controlReachable(const World& w, int number) {
  const auto it = w.controls.find(number);
  if (it == w.controls.end() || !it->second.enabled) return false;
  const auto window = w.windows.find(it->second.window);
  return window != w.windows.end() && window->second.open && window->second.enabled;
}

void runTick(std::pair<int, int> key) {
  std::function<void()> callback;
  {
    World& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.timers.find(key);
    if (it == w.timers.end()) return;
    callback = it->second.callback;
  }
  callback();
}

void push(Event event) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.events.push_back(event);
  w.changed.notify_all();
}

}  // namespace

// ---- Test side ---------------------------------------------------------------------

void reset() {
  World& w = world();
  if (w.program.joinable()) {
    waitProgramEnd(10000);
  }
  std::lock_guard lock(w.mutex);
  w.windows.clear();
  w.controls.clear();
  w.creationOrder.clear();
  w.textHistory.clear();
  w.container = 0;
  w.statusBars.clear();
  w.menus.clear();
  w.fonts.clear();
  w.images.clear();
  w.timers.clear();
  w.posts.clear();
  w.painters.clear();
  w.now = 0;
  w.events.clear();
  w.ticks.clear();
  w.boxAnswers.clear();
  w.chooserAnswers.clear();
  w.cursor = {100, 100};
  w.boxes.clear();
  w.choosers.clear();
  w.draws.clear();
  w.menusShown.clear();
  w.explored.clear();
  w.addresses.clear();
  w.programActive = false;
  w.uiWaiting = false;
  w.windowOwners.clear();
  w.refusedWindows.clear();
  resetButtons();
}

void refuseToOpen(int window) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.refusedWindows.insert(window);
}

void pressControl(int control) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  if (!controlReachable(w, control)) return;
  w.events.push_back({kEventControl, w.controls[control].window, control});
  w.changed.notify_all();
}

void chooseMenuItem(int window, int item) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  for (const auto& [number, menu] : w.menus) {
    const auto it = menu.enabled.find(item);
    if (it != menu.enabled.end() && !it->second) return;  // greyed: cannot be chosen
  }
  w.events.push_back({kEventMenu, window, item});
  w.changed.notify_all();
}

void moveWindow(int window) { push({kEventMoved, window, 0}); }

void closeWindowBox(int window) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  if (it == w.windows.end() || !it->second.open || !it->second.enabled) return;
  w.events.push_back({kEventClose, window, 0});
  w.changed.notify_all();
}

void setCursor(Point screenPosition) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.cursor = screenPosition;
}

void typeText(int control, std::string text) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  if (!controlReachable(w, control)) return;
  w.controls[control].text = std::move(text);
}

void answerNextBox(int answer) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.boxAnswers.push_back(answer);
}

void answerNextChooser(std::string folder) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.chooserAnswers.push_back(std::move(folder));
}

void startProgram(std::function<void()> program) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.programActive = true;
  w.uiWaiting = false;
  w.program = std::thread([program = std::move(program)] {
    program();
    World& ww = world();
    std::lock_guard done(ww.mutex);
    ww.programActive = false;
    ww.changed.notify_all();
  });
  w.programThread = w.program.get_id();
}

bool waitIdle(int timeoutMs) {
  World& w = world();
  std::unique_lock lock(w.mutex);
  return w.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return !w.programActive || (w.uiWaiting && w.events.empty() && w.ticks.empty() &&
                                w.posts.empty() && !hasCallsFor(w, w.programThread));
  });
}

bool waitProgramEnd(int timeoutMs) {
  World& w = world();
  {
    std::unique_lock lock(w.mutex);
    if (!w.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return !w.programActive; })) {
      return false;
    }
  }
  if (w.program.joinable()) w.program.join();
  return true;
}

bool programRunning() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.programActive;
}

void advanceTime(int milliseconds) {
  World& w = world();
  std::unique_lock lock(w.mutex);
  const std::int64_t target = w.now + milliseconds;
  for (;;) {
    Timer* next = nullptr;
    for (auto& [key, timer] : w.timers) {
      if (timer.nextDue > target) continue;
      if (!next || timer.nextDue < next->nextDue ||
          (timer.nextDue == next->nextDue && timer.order < next->order)) {
        next = &timer;
      }
    }
    if (!next) break;
    w.now = next->nextDue;
    next->nextDue += std::max(1, next->period);
    const std::pair<int, int> key{next->window, next->timer};
    if (w.programActive && !onProgramThread(w)) {
      w.ticks.push_back(key);
      w.changed.notify_all();
      w.changed.wait_for(lock, std::chrono::seconds(10), [&] {
        return !w.programActive || (w.uiWaiting && w.events.empty() && w.ticks.empty() &&
                                    !hasCallsFor(w, w.programThread));
      });
    } else {
      lock.unlock();
      runTick(key);
      lock.lock();
    }
  }
  w.now = target;
}

ControlState control(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.controls.find(number);
  return it == w.controls.end() ? ControlState{} : it->second;
}

bool hasControl(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.controls.count(number) != 0;
}

std::vector<int> controlsInCreationOrder() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.creationOrder;
}

WindowState window(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(number);
  return it == w.windows.end() ? WindowState{} : it->second;
}

StatusBarState statusBar(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.statusBars.find(number);
  return it == w.statusBars.end() ? StatusBarState{} : it->second;
}

std::vector<BoxRecord> boxes() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.boxes;
}

std::vector<ChooserRecord> choosers() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.choosers;
}

std::vector<DrawRecord> draws() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.draws;
}

void clearDraws() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  w.draws.clear();
}

std::vector<MenuShown> menusShown() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.menusShown;
}

bool menuItemEnabled(int menu, int item) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.menus.find(menu);
  if (it == w.menus.end()) return false;
  const auto state = it->second.enabled.find(item);
  return state != it->second.enabled.end() && state->second;
}

std::vector<MenuEntry> menuEntries(int menu) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.menus.find(menu);
  return it == w.menus.end() ? std::vector<MenuEntry>{} : it->second.entries;
}

std::vector<std::string> exploredFolders() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.explored;
}

std::vector<std::string> openedAddresses() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  return w.addresses;
}

std::optional<FontSpec> font(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.fonts.find(number);
  if (it == w.fonts.end()) return std::nullopt;
  return it->second;
}

std::optional<Picture> image(int number) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.images.find(number);
  if (it == w.images.end()) return std::nullopt;
  return it->second;
}

std::vector<TimerState> runningTimers() {
  World& w = world();
  std::lock_guard lock(w.mutex);
  std::vector<TimerState> result;
  for (const auto& [key, timer] : w.timers)
    result.push_back({timer.window, timer.timer, timer.period});
  return result;
}

std::vector<std::string> textHistory(int control) {
  World& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.textHistory.find(control);
  return it == w.textHistory.end() ? std::vector<std::string>{} : it->second;
}

}  // namespace platform::headless

// ---- The windowing layer -------------------------------------------------------------

namespace platform {

using headless::world;

namespace {

// Changes a control on the thread that owns its window.
template <typename Change>
void changeControl(int number, Change change) {
  headless::onControlOwner(number, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.controls.find(number);
    if (it != w.controls.end()) change(it->second);
  });
}

// Reads a control on the thread that owns its window.
template <typename Result, typename Read>
Result readControl(int number, Result missing, Read read) {
  return headless::onControlOwner<Result>(number, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.controls.find(number);
    return it == w.controls.end() ? missing : read(it->second);
  });
}

}  // namespace

bool initialise() { return true; }

void releaseAll() {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  for (auto& [number, window] : w.windows) window.open = false;
  w.timers.clear();
  w.posts.clear();
}

bool openWindow(int window, const WindowSpec& spec) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  if (w.refusedWindows.count(window)) return false;
  headless::WindowState state;
  state.spec = spec;
  state.open = true;
  w.windows[window] = state;
  w.windowOwners[window] = std::this_thread::get_id();
  return true;
}

namespace {

void closeWindowHere(int window) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  if (it == w.windows.end()) return;
  it->second.open = false;
  for (auto c = w.controls.begin(); c != w.controls.end();) {
    c = c->second.window == window ? w.controls.erase(c) : std::next(c);
  }
  for (auto t = w.timers.begin(); t != w.timers.end();) {
    t = t->first.first == window ? w.timers.erase(t) : std::next(t);
  }
}

}  // namespace

void closeWindow(int window) {
  headless::runOnOwner(window, [&] { closeWindowHere(window); });
}

void postClose(int window) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  if (it == w.windows.end() || !it->second.open) return;
  w.events.push_back({kEventClose, window, 0});
  w.changed.notify_all();
}

bool windowExists(int window) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  return it != w.windows.end() && it->second.open;
}

void setWindowEnabled(int window, bool enabled) {
  headless::runOnOwner(window, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.windows.find(window);
    if (it != w.windows.end()) it->second.enabled = enabled;
  });
}

bool isWindowEnabled(int window) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  return it != w.windows.end() && it->second.open && it->second.enabled;
}

void updateWindowNow(int window) {
  headless::runOnOwner(window, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.windows.find(window);
    if (it != w.windows.end()) ++it->second.updates;
  });
}

bool createControl(int window, const ControlSpec& spec) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.windows.find(window);
  if (it == w.windows.end() || !it->second.open) return false;
  headless::ControlState state;
  state.window = window;
  state.parent = w.container;
  state.kind = spec.kind;
  state.x = spec.x;
  state.y = spec.y;
  state.width = spec.width;
  state.height = spec.height;
  state.text = spec.text;
  state.image = spec.image;
  w.controls[spec.number] = state;
  w.creationOrder.push_back(spec.number);
  return true;
}

void openContainer(int container) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.container = container;
}

void closeContainer() {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.container = 0;
}

bool controlExists(int control) { return headless::hasControl(control); }

void setText(int control, std::string_view text) {
  headless::onControlOwner(control, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.controls.find(control);
    if (it == w.controls.end()) return;
    it->second.text = std::string(text);
    ++it->second.textChanges;
    w.textHistory[control].emplace_back(text);
  });
}

std::string getText(int control) {
  return readControl(control, std::string{},
                     [](const headless::ControlState& c) { return c.text; });
}

void setEnabled(int control, bool enabled) {
  changeControl(control, [&](headless::ControlState& c) { c.enabled = enabled; });
}

bool isEnabled(int control) {
  return readControl(control, false, [](const headless::ControlState& c) { return c.enabled; });
}

void setTextColour(int control, Rgb colour) {
  changeControl(control, [&](headless::ControlState& c) { c.textColour = colour; });
}

void setBackColour(int control, Rgb colour) {
  changeControl(control, [&](headless::ControlState& c) { c.backColour = colour; });
}

void setControlFont(int control, int font) {
  changeControl(control, [&](headless::ControlState& c) { c.font = font; });
}

void setProgressRange(int control, std::int64_t maximum) {
  changeControl(control, [&](headless::ControlState& c) { c.progressMaximum = maximum; });
}

void setProgressValue(int control, std::int64_t value) {
  changeControl(control, [&](headless::ControlState& c) { c.progressValue = value; });
}

std::int64_t progressValue(int control) {
  return readControl(control, std::int64_t{0},
                     [](const headless::ControlState& c) { return c.progressValue; });
}

void redrawNow(int) {}

void setChecked(int control, bool checked) {
  changeControl(control, [&](headless::ControlState& c) { c.checked = checked; });
}

bool isChecked(int control) {
  return readControl(control, false, [](const headless::ControlState& c) { return c.checked; });
}

void setTextLimit(int control, std::int64_t characters) {
  changeControl(control, [&](headless::ControlState& c) { c.textLimit = characters; });
}

void appendLines(int control, std::span<const std::string> lines) {
  changeControl(control, [&](headless::ControlState& c) {
    c.lines.insert(c.lines.end(), lines.begin(), lines.end());
  });
}

bool createStatusBar(int window, int statusBar, const std::vector<int>& rightEdges,
                     int minimumHeight) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  if (!w.windows.count(window)) return false;
  headless::StatusBarState state;
  state.window = window;
  state.rightEdges = rightEdges;
  state.minimumHeight = minimumHeight;
  state.fields.resize(rightEdges.size());
  w.statusBars[statusBar] = state;
  return true;
}

void setStatusField(int statusBar, int field, std::string_view text, FieldStyle style) {
  int window = -1;
  {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.statusBars.find(statusBar);
    if (it != w.statusBars.end()) window = it->second.window;
  }
  headless::runOnOwner(window, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.statusBars.find(statusBar);
    if (it == w.statusBars.end() || field < 0 ||
        static_cast<std::size_t>(field) >= it->second.fields.size()) {
      return;
    }
    it->second.fields[static_cast<std::size_t>(field)] = {std::string(text), style};
  });
}

bool createPopupMenu(int menu, const std::vector<MenuEntry>& entries) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  headless::Menu record;
  record.entries = entries;
  for (const auto& entry : entries) {
    if (entry.item != 0) record.enabled[entry.item] = true;
  }
  w.menus[menu] = record;
  return true;
}

void setMenuItemEnabled(int menu, int item, bool enabled) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.menus.find(menu);
  if (it != w.menus.end() && it->second.enabled.count(item)) it->second.enabled[item] = enabled;
}

bool isMenuItemEnabled(int menu, int item) { return headless::menuItemEnabled(menu, item); }

Point cursorPosition() {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  return w.cursor;
}

void showPopupMenu(int menu, int window, Point screenPosition) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.menusShown.push_back({menu, window, screenPosition});
}

void addPlainTooltip(int, int control, std::string_view text) {
  changeControl(control, [&](headless::ControlState& c) { c.tooltip = std::string(text); });
}

bool createFont(int font, const FontSpec& spec) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.fonts[font] = spec;
  return true;
}

bool createImage(int image, const Picture& picture, ImageKind) {
  if (picture.empty()) return false;
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.images[image] = picture;
  return true;
}

bool imageExists(int image) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  return w.images.count(image) != 0;
}

bool copyImageRect(int source, int target, int x, int y, int width, int height) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  const auto it = w.images.find(source);
  if (it == w.images.end()) return false;
  Picture piece = cutPicture(it->second, x, y, width, height);
  if (piece.empty()) return false;
  w.images[target] = std::move(piece);
  return true;
}

Surface::Surface(int window) : window_(window) {
  if (windowExists(window)) handle_ = this;
}

Surface::Surface(int window, void*) : Surface(window) { borrowed_ = true; }

Surface::~Surface() = default;

void Surface::drawImage(int image, int x, int y, int width, int height) {
  if (!handle_ || width < 1 || height < 1 || !imageExists(image)) return;
  auto& w = world();
  std::lock_guard lock(w.mutex);
  headless::DrawRecord record;
  record.kind = headless::DrawRecord::kImage;
  record.window = window_;
  record.image = image;
  record.x = x;
  record.y = y;
  record.width = width;
  record.height = height;
  w.draws.push_back(record);
}

void Surface::drawText(int font, int x, int y, std::string_view text, Rgb colour) {
  if (!handle_) return;
  auto& w = world();
  std::lock_guard lock(w.mutex);
  headless::DrawRecord record;
  record.kind = headless::DrawRecord::kText;
  record.window = window_;
  record.font = font;
  record.x = x;
  record.y = y;
  record.text = std::string(text);
  record.colour = colour;
  w.draws.push_back(record);
}

// The next event for a window of the calling thread. The program thread also
// takes events for windows nobody opened and runs the timers; a worker thread
// that opened a window (the journal window at the end of a verification) takes
// that window's events.
namespace {

// The next event for a window of the calling thread, waiting until `deadline`
// (none: without a limit). The program thread also takes events for windows
// nobody opened and runs the timers; a worker thread that opened a window
// (the journal window at the end of a verification) takes that window's events.
std::optional<Event> nextEvent(std::optional<std::chrono::steady_clock::time_point> deadline) {
  auto& w = world();
  const auto me = std::this_thread::get_id();
  std::unique_lock lock(w.mutex);
  for (;;) {
    headless::serveCalls(w, lock);
    headless::servePosts(w, lock);
    const bool programThread = headless::onProgramThread(w);
    if (programThread && !w.ticks.empty()) {
      const auto key = w.ticks.front();
      w.ticks.pop_front();
      lock.unlock();
      headless::runTick(key);
      lock.lock();
      continue;
    }
    const auto mine = std::find_if(w.events.begin(), w.events.end(), [&](const Event& event) {
      const auto owner = w.windowOwners.find(event.window);
      return owner == w.windowOwners.end() ? programThread || !w.programActive
                                           : owner->second == me;
    });
    if (mine != w.events.end()) {
      const Event event = *mine;
      w.events.erase(mine);
      return event;
    }
    // Called straight from a test (no program thread): nothing more will come.
    if (!w.programActive) return Event{kEventClose, -1, 0};
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return std::nullopt;
    if (programThread) {
      w.uiWaiting = true;
      w.changed.notify_all();
    }
    if (deadline) {
      w.changed.wait_until(lock, *deadline);
    } else {
      w.changed.wait(lock);
    }
    if (programThread) w.uiWaiting = false;
  }
}

}  // namespace

Event waitEvent() { return *nextEvent(std::nullopt); }

bool waitEventFor(int timeoutMs, Event& event) {
  const auto next =
      nextEvent(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs));
  if (next) event = *next;
  return next.has_value();
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto& w = world();
  for (;;) {
    {
      std::unique_lock lock(w.mutex);
      headless::serveCalls(w, lock);
      headless::servePosts(w, lock);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::unique_lock lock(w.mutex);
    w.changed.wait_for(lock, std::chrono::milliseconds(2));
  }
}

void startTimer(int window, int timer, int milliseconds, std::function<void()> callback) {
  headless::runOnOwner(window, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    headless::Timer record;
    record.window = window;
    record.timer = timer;
    record.period = milliseconds;
    record.nextDue = w.now + std::max(1, milliseconds);
    record.order = ++w.timerOrder;
    record.callback = std::move(callback);
    w.timers[{window, timer}] = std::move(record);
  });
}

void stopTimer(int window, int timer) {
  headless::runOnOwner(window, [&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    w.timers.erase({window, timer});
  });
}

int messageBox(std::string_view caption, std::string_view text, int kind) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  headless::BoxRecord record;
  record.caption = std::string(caption);
  record.text = std::string(text);
  record.kind = kind;
  record.onUiThread = !w.programActive || headless::onProgramThread(w);
  if (!w.boxAnswers.empty()) {
    record.answer = w.boxAnswers.front();
    record.scripted = true;
    w.boxAnswers.pop_front();
  } else {
    record.answer = kind == kBoxYesNoCancel ? kAnswerCancel
                    : kind == kBoxYesNo     ? kAnswerNo
                                            : kAnswerOk;
  }
  w.boxes.push_back(record);
  return record.answer;
}

std::string chooseFolder(std::string_view title, std::string_view initialFolder) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  headless::ChooserRecord record;
  record.title = std::string(title);
  record.initialFolder = std::string(initialFolder);
  if (!w.chooserAnswers.empty()) {
    record.result = w.chooserAnswers.front();
    w.chooserAnswers.pop_front();
    if (!record.result.empty() && !isSeparator(record.result.back())) {
      record.result += kPathSeparator;
    }
  }
  w.choosers.push_back(record);
  return record.result;
}

void exploreFolder(std::string_view folder) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.explored.emplace_back(folder);
}

void openWebAddress(std::string_view address) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.addresses.emplace_back(address);
}

// Without a program thread (handlers called straight from a test) there is
// no loop to serve a queue: posted work runs at once, as window calls do.
void postToUi(std::function<void()> work) {
  auto& w = world();
  std::unique_lock lock(w.mutex);
  if (!w.programActive) {
    lock.unlock();
    work();
    return;
  }
  w.posts.push_back(std::move(work));
  w.changed.notify_all();
}

void setOverlayPainter(int control, Painter painter) {
  auto& w = world();
  std::lock_guard lock(w.mutex);
  w.painters[control] = std::move(painter);
}

namespace {

// One paint at a time, as on the one UI thread.
std::mutex& paintMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

void paintOverlay(int control, const Area& area) {
  Painter painter;
  int window = -1;
  {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.painters.find(control);
    const auto record = w.controls.find(control);
    if (it == w.painters.end() || record == w.controls.end()) return;
    painter = it->second;
    window = record->second.window;
  }
  std::lock_guard paint(paintMutex());
  Surface surface(window, nullptr);
  if (surface.valid()) painter(surface, area);
}

}  // namespace

void invalidateArea(int control, const Area& area) {
  auto& w = world();
  std::unique_lock lock(w.mutex);
  if (w.programActive && !headless::onProgramThread(w)) {
    w.posts.push_back([control, area] { paintOverlay(control, area); });
    w.changed.notify_all();
    return;
  }
  lock.unlock();
  paintOverlay(control, area);
}

}  // namespace platform
