// The windowing layer without a screen: every call is recorded, events come
// from the test's script, and timers run on a virtual clock.
#include <algorithm>
#include <chrono>
#include <type_traits>

#include "platform/files.h"
#include "platform/headless/buttons.h"
#include "platform/headless/world.h"

// ---- The windowing layer -------------------------------------------------------------

namespace platform {

using headless::ControlState;
using headless::withLock;
using headless::World;
using headless::world;

namespace {

// Changes a record of the world (a window, a control) on the UI thread, when
// there is one.
template <typename Holder, typename Map, typename Change>
void changeOnUiThread(Map Holder::*records, int number, Change change) {
  headless::runOnUiThread([&] { headless::changeRecord(world(), records, number, change); });
}

// Sets one field of a control on the UI thread.
template <typename Field, typename Value>
void setControlField(int control, Field ControlState::*field, const Value& value) {
  changeOnUiThread(&World::controls, control, [&](ControlState& c) { c.*field = Field(value); });
}

// Reads one field of a control on the UI thread: its empty value without the
// control.
template <typename Field>
Field controlField(int control, Field ControlState::*field) {
  return headless::onUiThread<Field>(
      [&] { return headless::fieldOf(world(), &World::controls, control, field); });
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
  headless::runOnUiThread([&] { closeWindowHere(window); });
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
  return headless::fieldOf(world(), &World::windows, window, &headless::WindowState::open);
}

void setWindowEnabled(int window, bool enabled) {
  changeOnUiThread(&World::windows, window, [&](headless::WindowState& s) { s.enabled = enabled; });
}

bool isWindowEnabled(int window) {
  return headless::withRecord(world(), &World::windows, window, [](const headless::WindowState* s) {
    return s && s->open && s->enabled;
  });
}

void updateWindowNow(int window) {
  changeOnUiThread(&World::windows, window, [](headless::WindowState& s) { ++s.updates; });
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
  withLock(world(), [&](World& w) { w.container = container; });
}

void closeContainer() {
  withLock(world(), [](World& w) { w.container = 0; });
}

bool controlExists(int control) { return headless::hasControl(control); }

void setText(int control, std::string_view text) {
  headless::runOnUiThread([&] {
    auto& w = world();
    std::lock_guard lock(w.mutex);
    const auto it = w.controls.find(control);
    if (it == w.controls.end()) return;
    it->second.text = std::string(text);
    ++it->second.textChanges;
    w.textHistory[control].emplace_back(text);
  });
}

std::string getText(int control) { return controlField(control, &ControlState::text); }

void setEnabled(int control, bool enabled) {
  setControlField(control, &ControlState::enabled, enabled);
}

bool isEnabled(int control) { return controlField(control, &ControlState::enabled); }

void setTextColour(int control, Rgb colour) {
  setControlField(control, &ControlState::textColour, colour);
}

void setBackColour(int control, Rgb colour) {
  setControlField(control, &ControlState::backColour, colour);
}

void setControlFont(int control, int font) { setControlField(control, &ControlState::font, font); }

void setProgressRange(int control, std::int64_t maximum) {
  setControlField(control, &ControlState::progressMaximum, maximum);
}

void setProgressValue(int control, std::int64_t value) {
  setControlField(control, &ControlState::progressValue, value);
}

std::int64_t progressValue(int control) {
  return controlField(control, &ControlState::progressValue);
}

void redrawNow(int) {}

void setChecked(int control, bool checked) {
  setControlField(control, &ControlState::checked, checked);
}

bool isChecked(int control) { return controlField(control, &ControlState::checked); }

void setTextLimit(int control, std::int64_t characters) {
  setControlField(control, &ControlState::textLimit, characters);
}

void appendLines(int control, std::span<const std::string> lines) {
  changeOnUiThread(&World::controls, control, [&](ControlState& c) {
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
  headless::runOnUiThread([&] {
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
  headless::changeRecord(world(), &World::menus, menu, [&](headless::Menu& m) {
    if (m.enabled.count(item)) m.enabled[item] = enabled;
  });
}

bool isMenuItemEnabled(int menu, int item) { return headless::menuItemEnabled(menu, item); }

Point cursorPosition() { return headless::copyOf(world(), &World::cursor); }

void showPopupMenu(int menu, int window, Point screenPosition) {
  withLock(world(), [&](World& w) { w.menusShown.push_back({menu, window, screenPosition}); });
}

void addPlainTooltip(int, int control, std::string_view text) {
  setControlField(control, &ControlState::tooltip, text);
}

bool createFont(int font, const FontSpec& spec) {
  withLock(world(), [&](World& w) { w.fonts[font] = spec; });
  return true;
}

bool createImage(int image, const Picture& picture, ImageKind) {
  if (picture.empty()) return false;
  withLock(world(), [&](World& w) { w.images[image] = picture; });
  return true;
}

// The headless world shows everything at 96 dpi: the larger drawings are
// never used.
bool addImageScale(int image, const Picture& picture) {
  return !picture.empty() && imageExists(image);
}

bool imageExists(int image) {
  return withLock(world(), [&](const World& w) { return w.images.count(image) != 0; });
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

namespace {

void recordDraw(headless::DrawRecord record) {
  withLock(world(), [&](World& w) { w.draws.push_back(std::move(record)); });
}

}  // namespace

void Surface::drawImage(int image, int x, int y, int width, int height) {
  if (!handle_ || width < 1 || height < 1 || !imageExists(image)) return;
  recordDraw({.kind = headless::DrawRecord::kImage,
              .window = window_,
              .image = image,
              .x = x,
              .y = y,
              .width = width,
              .height = height});
}

void Surface::drawText(int font, int x, int y, std::string_view text, Rgb colour) {
  if (!handle_) return;
  recordDraw({.kind = headless::DrawRecord::kText,
              .window = window_,
              .font = font,
              .x = x,
              .y = y,
              .text = std::string(text),
              .colour = colour});
}

namespace {

// The next event, waiting until `deadline` (none: without a limit), on the
// program's thread, which also serves the calls and posted work of other
// threads and runs the timers.
std::optional<Event> nextEvent(std::optional<std::chrono::steady_clock::time_point> deadline) {
  auto& w = world();
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
    // Every window belongs to the program's thread (to the test's without one).
    if ((programThread || !w.programActive) && !w.events.empty()) {
      const Event event = w.events.front();
      w.events.pop_front();
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
  headless::runOnUiThread([&] {
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
  headless::runOnUiThread([&] {
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
  if (!w.windowInFront) {
    record.flashed = true;
    ++w.taskbar.flashes;
  }
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
  withLock(world(), [&](World& w) { w.explored.emplace_back(folder); });
}

void openWebAddress(std::string_view address) {
  withLock(world(), [&](World& w) { w.addresses.emplace_back(address); });
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
  withLock(world(), [&](World& w) { w.painters[control] = std::move(painter); });
}

namespace {

// One paint at a time, as on the one UI thread. A worker left running at exit
// may still paint: the lock has nothing to destroy, so it stays usable to the
// process's end.
std::mutex& paintMutex() {
  static std::mutex mutex;
  static_assert(std::is_trivially_destructible_v<std::mutex>);
  return mutex;
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
