#pragma once
// What an image command button looks like: where its icon and caption go,
// which of its looks applies, which frame (themed state or classic lines in
// which system colours) is drawn, and how the pointer's coming and going
// repaints it. Pure geometry and choices, no drawing: the windowing backends
// carry the plan out (GDI and the theme engine on Windows, a record of what
// would be drawn in the headless build).
#include <cstdint>
#include <vector>

namespace widgets {

enum ButtonLayout : std::int64_t {
  iconTop = 0,     // icon centred in the upper part, caption centred near the bottom
  iconRight = 1,   // icon at the right edge, caption to its left
  iconBottom = 2,  // icon centred near the bottom, caption centred in the upper part
  iconLeft = 3,    // icon at the left edge, caption to its right
};

// One per image button, attached to the button's window under the property
// name below, owned by the button and freed when the button goes away.
struct ButtonProperties {
  std::int64_t control = 0;  // the button's control number
  std::int64_t image = 0;    // image drawn as the icon
  std::int64_t layout = 0;   // a ButtonLayout
  std::int64_t hover = 0;    // 1 while the pointer is over the button
};

inline constexpr char kButtonPropertyName[] = "BIGEPROPERTIES";

// System colours, numbered as the platform numbers them.
enum SystemColour : int {
  windowFrameColour = 6,
  buttonFaceColour = 15,
  buttonShadowColour = 16,
  buttonHighlightColour = 20,
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;  // exclusive
  int bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A straight line from (x0, y0) to (x1, y1); the end point itself is not drawn.
struct FrameLine {
  int colour = 0;
  int x0 = 0;
  int y0 = 0;
  int x1 = 0;
  int y1 = 0;
  friend bool operator==(const FrameLine&, const FrameLine&) = default;
};

struct ContentPlacement {
  int iconX = 0;
  int iconY = 0;
  int textX = 0;
  int textY = 0;
  friend bool operator==(const ContentPlacement&, const ContentPlacement&) = default;
};

// Icon and caption positions inside a width × height button, from the icon's
// size, the caption's measured size and the font's character height, all in
// the window's pixels; the margins are 96-dpi units scaled by `dpi`. Integer
// divisions truncate toward zero; an unknown layout leaves everything at 0.
ContentPlacement placeContent(std::int64_t layout, int width, int height, int iconWidth,
                              int iconHeight, int textWidth, int textHeight, int fontHeight,
                              int dpi = 96);

enum class ButtonLook { pressed, focused, disabled, normal };

// The state flags of one draw request.
struct ItemState {
  bool selected = false;
  bool focused = false;
  bool disabled = false;
};

// The first look whose flag is set: pressed, focused, disabled, else normal.
ButtonLook chooseLook(ItemState state);

// The push-button part of the theme class "Button", and its states.
inline constexpr int kPushButtonPart = 1;
enum ThemeState : int {
  noThemeState = 0,  // the themed background is left out
  normalState = 1,
  hotState = 2,
  pressedState = 3,
  disabledState = 4,
  defaultedState = 5,
};

// The theme state of a look; hover changes only the normal and focused looks,
// and a hover flag other than 0 or 1 leaves the themed background out.
int themedState(ButtonLook look, std::int64_t hover);

// The classic three-dimensional frame: its lines in drawing order (grouped by
// colour, one pen per colour) and the inner rectangle filled with button face.
struct ClassicFrame {
  std::vector<FrameLine> lines;
  Rect innerFill;
};
ClassicFrame classicFrame(ButtonLook look, int width, int height);

struct CaptionDraw {
  int x = 0;
  int y = 0;
  int colour = 0;  // a system colour, 0 = the device context's own (black)
  friend bool operator==(const CaptionDraw&, const CaptionDraw&) = default;
};

// What one paint request asks for.
struct ButtonPaintInput {
  bool isButton = true;  // the request names a button control
  int width = 0;
  int height = 0;
  ItemState state;
  std::int64_t layout = iconLeft;
  std::int64_t hover = 0;
  bool themed = false;  // a usable theme is active
  int iconWidth = 0;
  int iconHeight = 0;
  int textWidth = 0;
  int textHeight = 0;
  int fontHeight = 0;
  int dpi = 96;  // the window's: margins and the focus rectangle's inset scale by it
};

// Everything the painter draws, in this order: the button-face fill of the
// whole button, the frame (themed state or classic lines), the icon, the
// caption (twice when engraved), the focus rectangle.
struct ButtonPaint {
  bool paints = false;  // false: a request for another kind of control, nothing drawn
  ButtonLook look = ButtonLook::normal;
  Rect background;
  bool themed = false;
  int themeState = noThemeState;
  ClassicFrame classic;  // empty when themed
  int iconX = 0;
  int iconY = 0;
  bool iconDisabled = false;
  std::vector<CaptionDraw> captions;
  bool focusRectangle = false;
  Rect focus;
};
ButtonPaint planButtonPaint(const ButtonPaintInput& input);

// ---- Hover -----------------------------------------------------------------------

enum class Repaint { none, withoutErase, withErase };

struct HoverReaction {
  Repaint repaint = Repaint::none;
  bool trackLeave = false;  // ask for one leave notification
  friend bool operator==(const HoverReaction&, const HoverReaction&) = default;
};

// The pointer moved over the button: repaints and asks for the leave
// notification only on entry.
HoverReaction onMouseMove(ButtonProperties& button);
// The pointer left: always repaints with the background erased.
HoverReaction onMouseLeave(ButtonProperties& button);

// ---- Themes ----------------------------------------------------------------------

// Whether the theme library may be used on this system: not before Windows XP
// (NT 5.1) on the NT line, never on the 95 line; an unreadable or unknown
// version passes. `platformId` 1 is the 95 line, 2 the NT line.
bool systemAllowsThemes(bool versionKnown, int platformId, int major, int minor);

// Which of the theme library's functions were found.
struct ThemeFunctions {
  bool isThemeActive = false;
  bool openThemeData = false;
  bool isThemeBackgroundPartiallyTransparent = false;
  bool drawThemeParentBackground = false;
  bool drawThemeBackground = false;
  bool closeThemeData = false;
};

// The themed frame needs a loaded library with all five drawing functions and
// an active theme; anything less gets the classic frame.
bool themedFrameUsable(bool libraryLoaded, const ThemeFunctions& found, std::int64_t themeActive);

}  // namespace widgets
