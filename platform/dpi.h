#pragma once
// The program's one scale. Every position, size and font height is written in
// 96-dpi units, as the layout gives it; the windowing backend turns it into a
// window's pixels with these functions, by that window's DPI, and nowhere else.
#include "platform/ui.h"

namespace platform {

inline constexpr int kBaseDpi = 96;

// MulDiv(value, dpi, 96): the nearest whole pixel, halves away from zero. At
// 96 dpi (or an unknown DPI, 0 or less) the value itself.
int scaleForDpi(int value, int dpi);

// The scales, in percent, that pictures are drawn for.
inline constexpr int kPictureScales[] = {100, 125, 150, 175, 200};
// The smallest picture scale at or above `dpi` (200 beyond 200 %).
int pictureScaleFor(int dpi);

// A control's rectangle at `dpi`: its edges scaled, so that neighbours that
// touch at 96 dpi touch at every DPI, neither overlapping nor parted.
Area scaleRect(const Area& area, int dpi);

// The pixels that an area in 96-dpi units covers at `dpi`, rounded outward so
// that nothing of it is left out; and the 96-dpi area that covers the pixels
// of `pixels`, rounded outward the same way. Both unchanged at 96 dpi.
Area scaleAreaOutward(const Area& area, int dpi);
Area unscaleAreaOutward(const Area& pixels, int dpi);

}  // namespace platform
