// Image buttons, tooltips and the theme library without a screen: the paint
// plans of widgets/paint.h are recorded instead of drawn.
#include "platform/headless/buttons.h"

#include <map>
#include <mutex>
#include <set>

#include "platform/buttons.h"
#include "platform/headless/headless.h"
#include "platform/headless/records.h"
#include "platform/ui.h"

namespace platform::headless {
namespace {

// Everything resetButtons() forgets.
struct ButtonRecords {
  std::map<int, widgets::ButtonProperties> buttons;
  std::map<int, RepaintCounts> repaints;
  std::vector<TooltipRecord> tooltips;
  std::vector<ButtonPaintRecord> paints;
  std::set<int> painterWindows;
  std::set<int> borders;
  ThemeLibrary library;
  // What loadThemeApi found: nothing is used from a library that is not loaded.
  bool loaded = false;
  widgets::ThemeFunctions found;
  std::int64_t themeActive = 0;
  int loads = 0;
};

struct ButtonWorld : ButtonRecords {
  std::mutex mutex;
};

// Only the window's set-up and the test touch it, never a worker: it can go
// at exit with the other statics.
ButtonWorld& buttonWorld() {
  static ButtonWorld instance;
  return instance;
}

int textWidth(const std::string& text) {
  int characters = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  }
  return characters * kCharacterWidth;
}

void countRepaint(ButtonWorld& w, int control, widgets::Repaint repaint) {
  if (repaint == widgets::Repaint::withoutErase) ++w.repaints[control].withoutErase;
  if (repaint == widgets::Repaint::withErase) ++w.repaints[control].withErase;
}

// The image button `control` hears of the pointer, and repaints as it says.
void hearPointer(int control, widgets::HoverReaction (*reaction)(widgets::ButtonProperties&)) {
  withLock(buttonWorld(), [&](ButtonWorld& w) {
    const auto it = w.buttons.find(control);
    if (it != w.buttons.end()) countRepaint(w, control, reaction(it->second).repaint);
  });
}

}  // namespace

void setThemeLibrary(const ThemeLibrary& library) {
  withLock(buttonWorld(), [&](ButtonWorld& w) { w.library = library; });
}

bool requestButtonPaint(int control, widgets::ItemState state, bool isButton) {
  if (!hasControl(control)) return false;
  const ControlState shown = headless::control(control);
  std::optional<widgets::ButtonProperties> record = buttonProperties(control);
  if (!record) return false;
  // The picture is looked up before taking this side's lock: the windowing
  // side's lock always comes first.
  const std::optional<Picture> picture = image(static_cast<int>(record->image));
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  if (!w.painterWindows.count(shown.window)) return false;
  widgets::ButtonPaintInput input;
  input.isButton = isButton;
  input.width = shown.width;
  input.height = shown.height;
  input.state = state;
  input.state.disabled = state.disabled || !shown.enabled;
  input.layout = record->layout;
  input.hover = record->hover;
  input.themed = widgets::themedFrameUsable(w.loaded, w.found, w.themeActive);
  if (picture) {
    input.iconWidth = picture->width;
    input.iconHeight = picture->height;
  }
  input.textWidth = textWidth(shown.text);
  input.textHeight = kTextHeight;
  input.fontHeight = kFontHeight;
  w.paints.push_back({shown.window, control, static_cast<int>(record->image), shown.text,
                      widgets::planButtonPaint(input)});
  return true;
}

void movePointerOver(int control) { hearPointer(control, widgets::onMouseMove); }

void pointerLeaves(int control) { hearPointer(control, widgets::onMouseLeave); }

void themeChanged() {
  std::vector<int> buttons;
  {
    ButtonWorld& w = buttonWorld();
    std::lock_guard lock(w.mutex);
    for (const auto& [number, record] : w.buttons) buttons.push_back(number);
  }
  // One reload and one repaint per button, as each hears the notification.
  for (const int number : buttons) {
    platform::loadThemeApi(true);
    withLock(buttonWorld(),
             [&](ButtonWorld& w) { countRepaint(w, number, widgets::Repaint::withoutErase); });
  }
}

std::optional<widgets::ButtonProperties> buttonProperties(int control) {
  return recordCopy(buttonWorld(), &ButtonWorld::buttons, control);
}

std::vector<TooltipRecord> tooltips() { return copyOf(buttonWorld(), &ButtonWorld::tooltips); }

std::vector<ButtonPaintRecord> buttonPaints() {
  return copyOf(buttonWorld(), &ButtonWorld::paints);
}

RepaintCounts repaints(int control) {
  return recordCopy(buttonWorld(), &ButtonWorld::repaints, control).value_or(RepaintCounts{});
}

int themeLoads() { return copyOf(buttonWorld(), &ButtonWorld::loads); }

bool hasOnePixelBorder(int control) {
  return withLock(buttonWorld(),
                  [&](const ButtonWorld& w) { return w.borders.count(control) != 0; });
}

void resetButtons() {
  withLock(buttonWorld(), [](ButtonWorld& w) { static_cast<ButtonRecords&>(w) = ButtonRecords{}; });
}

}  // namespace platform::headless

namespace platform {

using headless::buttonWorld;
using headless::withLock;

bool createImageButton(int window, int control, int x, int y, int width, int height,
                       std::string_view caption, int image, std::int64_t layout) {
  if (!createControl(window, {.number = control,
                              .kind = ControlKind::pushButton,
                              .x = x,
                              .y = y,
                              .width = width,
                              .height = height,
                              .text = std::string(caption),
                              .image = image})) {
    return false;
  }
  widgets::ButtonProperties record;
  record.control = control;
  record.image = image;
  record.layout = layout;
  withLock(buttonWorld(), [&](headless::ButtonWorld& w) { w.buttons[control] = record; });
  return true;
}

int addTooltip(int window, int control, std::string_view title, std::string_view text,
               int titleIcon) {
  auto& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  headless::TooltipRecord record;
  record.window = window;
  record.control = control;
  record.text = std::string(text);
  record.maximumWidth = 200;
  if (!title.empty()) {
    record.title = std::string(title);
    record.titleIcon = titleIcon;
  }
  w.tooltips.push_back(record);
  return 0;
}

void loadThemeApi(bool reload) {
  auto& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  ++w.loads;
  if (reload && w.loaded) {
    // Released: nothing found in it may be used any more.
    w.loaded = false;
    w.found = {};
    w.themeActive = 0;
  }
  if (!w.library.present) return;
  w.loaded = true;
  w.found = w.library.functions;
  if (w.found.isThemeActive) w.themeActive = w.library.active ? 1 : 0;
}

bool themedFramesInUse() {
  return withLock(buttonWorld(), [](const headless::ButtonWorld& w) {
    return widgets::themedFrameUsable(w.loaded, w.found, w.themeActive);
  });
}

void installMainWindowCallback(int window) {
  withLock(buttonWorld(), [&](headless::ButtonWorld& w) { w.painterWindows.insert(window); });
}

void setOnePixelBorder(int control) {
  if (!controlExists(control)) return;
  withLock(buttonWorld(), [&](headless::ButtonWorld& w) { w.borders.insert(control); });
}

}  // namespace platform
