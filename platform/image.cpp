#include "platform/image.h"

#include <png.h>

#include <cstring>

namespace platform {
namespace {

std::uint32_t readLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint16_t readLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool isPng(std::span<const std::uint8_t> bytes) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

// A 32-bit BITMAPINFOHEADER image as stored in icon files: height counts the
// colour rows and the mask rows together, rows bottom-up.
Picture decodeIconBitmap(std::span<const std::uint8_t> bytes) {
  Picture picture;
  if (bytes.size() < 40 || readLe32(bytes.data()) < 40) return picture;
  const auto width = static_cast<std::int32_t>(readLe32(bytes.data() + 4));
  const auto doubledHeight = static_cast<std::int32_t>(readLe32(bytes.data() + 8));
  const std::uint16_t bitCount = readLe16(bytes.data() + 14);
  const std::uint32_t compression = readLe32(bytes.data() + 16);
  const std::uint32_t headerSize = readLe32(bytes.data());
  if (bitCount != 32 || compression != 0 || width <= 0 || width > 4096 || doubledHeight <= 0 ||
      doubledHeight > 8192) {
    return picture;
  }
  const int height = doubledHeight / 2;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  const std::size_t needed = headerSize + rowBytes * static_cast<std::size_t>(height);
  if (headerSize > bytes.size() || needed > bytes.size()) return picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const std::uint8_t* colour = bytes.data() + headerSize;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* source = colour + rowBytes * static_cast<std::size_t>(height - 1 - row);
    for (int x = 0; x < width; ++x) {
      picture.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)] = readLe32(source + 4 * x);
    }
  }
  return picture;
}

}  // namespace

Picture decodePng(std::span<const std::uint8_t> bytes) {
  Picture picture;
  if (!isPng(bytes)) return picture;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return picture;
  // BGRA bytes in memory are 0xAARRGGBB little-endian words.
  image.format = PNG_FORMAT_BGRA;
  if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
    png_image_free(&image);
    return picture;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return picture;
  }
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.pixels = std::move(pixels);
  return picture;
}

Picture cutPicture(const Picture& whole, int x, int y, int width, int height) {
  Picture piece;
  if (width <= 0 || height <= 0 || x < 0 || y < 0 || x + width > whole.width ||
      y + height > whole.height) {
    return piece;
  }
  piece.width = width;
  piece.height = height;
  piece.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    const auto start =
        whole.pixels.begin() + static_cast<std::ptrdiff_t>((y + row) * whole.width + x);
    piece.pixels.insert(piece.pixels.end(), start, start + width);
  }
  return piece;
}

Picture decodeIcon(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 6 + 16 || readLe16(bytes.data()) != 0 || readLe16(bytes.data() + 2) != 1 ||
      readLe16(bytes.data() + 4) == 0) {
    return {};
  }
  const std::uint8_t* entry = bytes.data() + 6;
  const std::uint32_t size = readLe32(entry + 8);
  const std::uint32_t offset = readLe32(entry + 12);
  if (offset > bytes.size() || size > bytes.size() - offset) return {};
  const auto image = bytes.subspan(offset, size);
  return isPng(image) ? decodePng(image) : decodeIconBitmap(image);
}

}  // namespace platform
