#pragma once
// The headless build's image buttons, tooltips and theme library, test side.
// A button is painted when the test asks for a draw request (as the platform
// would on a press, a focus change or a repaint); the plan of what would be
// drawn is recorded. Captions are measured with a fixed font: every character
// 6 pixels wide, 13 pixels high, character height 11.
#include <optional>
#include <string>
#include <vector>

#include "widgets/paint.h"

namespace platform::headless {

inline constexpr int kCharacterWidth = 6;
inline constexpr int kTextHeight = 13;
inline constexpr int kFontHeight = 11;

struct TooltipRecord {
  int window = 0;
  int control = 0;
  std::string title;
  std::string text;
  int titleIcon = 0;
  bool balloon = true;
  int maximumWidth = 0;
};

struct ButtonPaintRecord {
  int window = 0;  // the window whose painter answered
  int control = 0;
  int image = 0;
  std::string caption;
  widgets::ButtonPaint plan;
};

// The theme library the headless platform pretends to find.
struct ThemeLibrary {
  bool present = true;
  widgets::ThemeFunctions functions{true, true, true, true, true, true};
  bool active = true;
};

// ---- Set-up ----------------------------------------------------------------------
void setThemeLibrary(const ThemeLibrary& library);

// ---- Acting as the platform or the user ------------------------------------------
// A draw request for `control` with these state flags; false when no painter
// took it (no image button, or its window has no painter installed).
bool requestButtonPaint(int control, widgets::ItemState state, bool isButton = true);
void movePointerOver(int control);
void pointerLeaves(int control);
// The desktop switched its visual theme: every image button hears of it.
void themeChanged();

// ---- What happened ------------------------------------------------------------------
std::optional<widgets::ButtonProperties> buttonProperties(int control);
std::vector<TooltipRecord> tooltips();
std::vector<ButtonPaintRecord> buttonPaints();
struct RepaintCounts {
  int withoutErase = 0;
  int withErase = 0;
};
RepaintCounts repaints(int control);
int themeLoads();
bool hasOnePixelBorder(int control);

// Forgets buttons, tooltips, paints and the theme (called by reset()).
void resetButtons();

}  // namespace platform::headless
