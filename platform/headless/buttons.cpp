// Image buttons, tooltips and the theme library without a screen: the paint
// plans of widgets/paint.h are recorded instead of drawn.
#include "platform/headless/buttons.h"

#include <map>
#include <mutex>
#include <set>

#include "platform/buttons.h"
#include "platform/headless/headless.h"
#include "platform/ui.h"

namespace platform::headless {
namespace {

struct ButtonWorld {
  std::mutex mutex;
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

ButtonWorld& buttonWorld() {
  static ButtonWorld* instance = new ButtonWorld;
  return *instance;
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

}  // namespace

void setThemeLibrary(const ThemeLibrary& library) {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  w.library = library;
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

void movePointerOver(int control) {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  const auto it = w.buttons.find(control);
  if (it == w.buttons.end()) return;
  countRepaint(w, control, widgets::onMouseMove(it->second).repaint);
}

void pointerLeaves(int control) {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  const auto it = w.buttons.find(control);
  if (it == w.buttons.end()) return;
  countRepaint(w, control, widgets::onMouseLeave(it->second).repaint);
}

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
    ButtonWorld& w = buttonWorld();
    std::lock_guard lock(w.mutex);
    countRepaint(w, number, widgets::Repaint::withoutErase);
  }
}

std::optional<widgets::ButtonProperties> buttonProperties(int control) {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  const auto it = w.buttons.find(control);
  if (it == w.buttons.end()) return std::nullopt;
  return it->second;
}

std::vector<TooltipRecord> tooltips() {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  return w.tooltips;
}

std::vector<ButtonPaintRecord> buttonPaints() {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  return w.paints;
}

RepaintCounts repaints(int control) {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  const auto it = w.repaints.find(control);
  return it == w.repaints.end() ? RepaintCounts{} : it->second;
}

int themeLoads() {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  return w.loads;
}

bool hasOnePixelBorder(int control) {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  return w.borders.count(control) != 0;
}

void resetButtons() {
  ButtonWorld& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  w.buttons.clear();
  w.repaints.clear();
  w.tooltips.clear();
  w.paints.clear();
  w.painterWindows.clear();
  w.borders.clear();
  w.library = ThemeLibrary{};
  w.loaded = false;
  w.found = {};
  w.themeActive = 0;
  w.loads = 0;
}

}  // namespace platform::headless

namespace platform {

using headless::buttonWorld;

bool createImageButton(int window, int control, int x, int y, int width, int height,
                       std::string_view caption, int image, std::int64_t layout) {
  ControlSpec spec;
  spec.number = control;
  spec.kind = ControlKind::pushButton;
  spec.x = x;
  spec.y = y;
  spec.width = width;
  spec.height = height;
  spec.text = std::string(caption);
  spec.image = image;
  if (!createControl(window, spec)) return false;
  widgets::ButtonProperties record;
  record.control = control;
  record.image = image;
  record.layout = layout;
  auto& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  w.buttons[control] = record;
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
  auto& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  return widgets::themedFrameUsable(w.loaded, w.found, w.themeActive);
}

void installMainWindowCallback(int window) {
  auto& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  w.painterWindows.insert(window);
}

void setOnePixelBorder(int control) {
  if (!controlExists(control)) return;
  auto& w = buttonWorld();
  std::lock_guard lock(w.mutex);
  w.borders.insert(control);
}

}  // namespace platform
