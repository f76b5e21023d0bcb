#pragma once
// Decoding of the embedded pictures into plain pixels. libpng reads the PNG;
// the icon files hold one uncompressed 32-bit image each.
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

// Pixels top row first, each 0xAARRGGBB (straight, not premultiplied alpha).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  bool empty() const { return width <= 0 || height <= 0; }
};

Picture decodePng(std::span<const std::uint8_t> bytes);
// The piece of `whole` at (x, y), width × height; empty when it does not lie
// wholly inside.
Picture cutPicture(const Picture& whole, int x, int y, int width, int height);
// The first image of an icon file, when it is a 32-bit one (BMP or PNG inside).
Picture decodeIcon(std::span<const std::uint8_t> bytes);
// Every 32-bit image of an icon file, in the file's order.
std::vector<Picture> decodeIconImages(std::span<const std::uint8_t> bytes);
// The picture scaled smoothly to width × height (each target pixel the
// area-weighted mean of the source pixels it covers, colours weighted by
// their alpha); the picture itself when the size is already that.
Picture resizePicture(const Picture& picture, int width, int height);

}  // namespace platform
