#pragma once
// Owner-drawn image buttons, balloon tooltips, the theme library and the
// painter installed on the main window. How a button looks is decided by
// widgets/paint.h; each backend carries that out (GDI and the theme engine on
// Windows, a record of what would be drawn in the headless build).
#include <cstdint>
#include <string_view>

namespace platform {

// A push button that the program paints itself, with `caption` as its text and
// `image` (an icon) beside it, placed by `layout` (widgets::ButtonLayout).
// Created in the open container of `window`, if any, and known as `control`
// from then on. False when the control cannot be created.
bool createImageButton(int window, int control, int x, int y, int width, int height,
                       std::string_view caption, int image, std::int64_t layout);

// A balloon tooltip for `control`, owned by `window`: `text` wrapped at 200
// pixels at 96 dpi (scaled by the window's DPI), and, when `title` is not empty, the title with the icon `titleIcon`
// beside it. Lives as long as its owner window. Always answers 0.
int addTooltip(int window, int control, std::string_view title, std::string_view text,
               int titleIcon);

// Loads the visual-theme library by name and looks up its functions; the
// reload form first releases the library it holds. Buttons get the themed
// frame only while the library is loaded, has every drawing function and
// reports an active theme; otherwise the classic frame.
void loadThemeApi(bool reload);
// Whether buttons are painted with the themed frame at the moment.
bool themedFramesInUse();

// From now on `window` paints the image buttons inside it (and inside its
// containers) when the platform asks for them to be drawn.
void installMainWindowCallback(int window);

// Replaces a container's edge by a plain one-pixel border.
void setOnePixelBorder(int control);

}  // namespace platform
