#include "platform/dpi.h"

#include <cstdint>
#include <iterator>

namespace platform {
namespace {

// a * b / c rounded down or up (c > 0).
std::int64_t divideDown(std::int64_t a, std::int64_t c) {
  return a >= 0 ? a / c : -((-a + c - 1) / c);
}
std::int64_t divideUp(std::int64_t a, std::int64_t c) { return -divideDown(-a, c); }

}  // namespace

int scaleForDpi(int value, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return value;
  const std::int64_t product = std::int64_t{value} * dpi;
  const std::int64_t half = kBaseDpi / 2;
  return static_cast<int>((product >= 0 ? product + half : product - half) / kBaseDpi);
}

int pictureScaleFor(int dpi) {
  for (const int scale : kPictureScales) {
    if (std::int64_t{scale} * kBaseDpi >= std::int64_t{dpi} * 100) return scale;
  }
  return kPictureScales[std::size(kPictureScales) - 1];
}

Area scaleRect(const Area& area, int dpi) {
  const int left = scaleForDpi(area.x, dpi);
  const int top = scaleForDpi(area.y, dpi);
  return {left, top, scaleForDpi(area.x + area.width, dpi) - left,
          scaleForDpi(area.y + area.height, dpi) - top};
}

Area scaleAreaOutward(const Area& area, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return area;
  const auto left = divideDown(std::int64_t{area.x} * dpi, kBaseDpi);
  const auto top = divideDown(std::int64_t{area.y} * dpi, kBaseDpi);
  const auto right = divideUp(std::int64_t{area.x + area.width} * dpi, kBaseDpi);
  const auto bottom = divideUp(std::int64_t{area.y + area.height} * dpi, kBaseDpi);
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
          static_cast<int>(bottom - top)};
}

Area unscaleAreaOutward(const Area& pixels, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return pixels;
  const auto left = divideDown(std::int64_t{pixels.x} * kBaseDpi, dpi);
  const auto top = divideDown(std::int64_t{pixels.y} * kBaseDpi, dpi);
  const auto right = divideUp(std::int64_t{pixels.x + pixels.width} * kBaseDpi, dpi);
  const auto bottom = divideUp(std::int64_t{pixels.y + pixels.height} * kBaseDpi, dpi);
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
          static_cast<int>(bottom - top)};
}

}  // namespace platform
