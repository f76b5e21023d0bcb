#include "platform/image.h"

#include <png.h>

#include <algorithm>
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

// Entry `entry` of an icon file whose header was checked.
Picture decodeIconEntry(std::span<const std::uint8_t> bytes, int entry) {
  const std::uint8_t* record = bytes.data() + 6 + 16 * static_cast<std::size_t>(entry);
  const std::uint32_t size = readLe32(record + 8);
  const std::uint32_t offset = readLe32(record + 12);
  if (offset > bytes.size() || size > bytes.size() - offset) return {};
  const auto image = bytes.subspan(offset, size);
  return isPng(image) ? decodePng(image) : decodeIconBitmap(image);
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
  return decodeIconEntry(bytes, 0);
}

std::vector<Picture> decodeIconImages(std::span<const std::uint8_t> bytes) {
  std::vector<Picture> pictures;
  if (bytes.size() < 6 || readLe16(bytes.data()) != 0 || readLe16(bytes.data() + 2) != 1) {
    return pictures;
  }
  const int count = readLe16(bytes.data() + 4);
  for (int entry = 0; entry < count; ++entry) {
    if (bytes.size() < 6 + 16 * static_cast<std::size_t>(entry + 1)) break;
    Picture picture = decodeIconEntry(bytes, entry);
    if (!picture.empty()) pictures.push_back(std::move(picture));
  }
  return pictures;
}

Picture resizePicture(const Picture& picture, int width, int height) {
  if (picture.empty() || width <= 0 || height <= 0) return {};
  if (picture.width == width && picture.height == height) return picture;
  // The weights of the source columns (or rows) each target column covers.
  struct Span {
    int first = 0;
    std::vector<double> weights;
  };
  const auto spans = [](int from, int to) {
    std::vector<Span> result(static_cast<std::size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int t = 0; t < to; ++t) {
      double start = t * step;
      double end = start + step;
      if (step < 1.0) {  // enlarging: a one-pixel window centred on the target pixel
        const double centre = (t + 0.5) * step;
        start = centre - 0.5;
        end = centre + 0.5;
      }
      start = std::max(0.0, start);
      end = std::min(static_cast<double>(from), end);
      Span& span = result[static_cast<std::size_t>(t)];
      span.first = static_cast<int>(start);
      double total = 0.0;
      for (int s = span.first; s < from && s < end; ++s) {
        const double weight = std::min(end, s + 1.0) - std::max(start, static_cast<double>(s));
        span.weights.push_back(std::max(0.0, weight));
        total += std::max(0.0, weight);
      }
      for (double& weight : span.weights) weight = total > 0 ? weight / total : 0.0;
    }
    return result;
  };
  const std::vector<Span> columns = spans(picture.width, width);
  const std::vector<Span> rows = spans(picture.height, height);
  // Alpha-weighted channels, so that a clear pixel's colour does not bleed in.
  std::vector<double> source(static_cast<std::size_t>(picture.width) * picture.height * 4);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    const std::uint32_t p = picture.pixels[i];
    const double alpha = (p >> 24) / 255.0;
    source[i * 4 + 0] = ((p >> 16) & 0xFF) * alpha;
    source[i * 4 + 1] = ((p >> 8) & 0xFF) * alpha;
    source[i * 4 + 2] = (p & 0xFF) * alpha;
    source[i * 4 + 3] = alpha;
  }
  std::vector<double> across(static_cast<std::size_t>(width) * picture.height * 4, 0.0);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Span& span = columns[static_cast<std::size_t>(x)];
      double* out = &across[(static_cast<std::size_t>(y) * width + x) * 4];
      for (std::size_t k = 0; k < span.weights.size(); ++k) {
        const double* in =
            &source[(static_cast<std::size_t>(y) * picture.width + span.first + k) * 4];
        for (int c = 0; c < 4; ++c) out[c] += in[c] * span.weights[k];
      }
    }
  }
  Picture result;
  result.width = width;
  result.height = height;
  result.pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const Span& span = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      double sum[4] = {0, 0, 0, 0};
      for (std::size_t k = 0; k < span.weights.size(); ++k) {
        const double* in = &across[((span.first + k) * static_cast<std::size_t>(width) + x) * 4];
        for (int c = 0; c < 4; ++c) sum[c] += in[c] * span.weights[k];
      }
      const double alpha = sum[3];
      const auto channel = [&](double value) {
        const double straight = alpha > 0 ? value / alpha : 0.0;
        return static_cast<std::uint32_t>(std::clamp(straight + 0.5, 0.0, 255.0));
      };
      const auto a = static_cast<std::uint32_t>(std::clamp(alpha * 255.0 + 0.5, 0.0, 255.0));
      result.pixels[static_cast<std::size_t>(y) * width + x] =
          a << 24 | channel(sum[0]) << 16 | channel(sum[1]) << 8 | channel(sum[2]);
    }
  }
  return result;
}

}  // namespace platform
