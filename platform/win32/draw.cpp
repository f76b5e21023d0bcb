// Fonts, images and drawing straight onto a window's client area.
#include <cstring>
#include <mutex>

#include "platform/dpi.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_internal.h"

namespace platform {

using namespace platform::win32;

namespace {

// A 32-bit top-down DIB section holding the picture's pixels as they are.
Bitmap makeBitmap(const Picture& picture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return bitmap;
  std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(std::uint32_t));
  GdiFlush();
  return bitmap;
}

Icon makeIcon(const Picture& picture) {
  const Bitmap colour = makeBitmap(picture);
  if (!colour) return Icon();
  // The alpha channel carries the shape when the icon is drawn normally; the
  // AND mask repeats it (a set bit where the pixel is transparent) for the
  // drawings that only know the mask, such as the greyed icon of a disabled
  // button, which would otherwise be a full square.
  const std::size_t rowBytes = static_cast<std::size_t>((picture.width + 15) / 16 * 2);
  std::vector<std::uint8_t> maskBits(rowBytes * static_cast<std::size_t>(picture.height), 0);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t pixel =
          picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                         static_cast<std::size_t>(x)];
      if ((pixel >> 24) < 128) {
        maskBits[static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x / 8)] |=
            static_cast<std::uint8_t>(0x80u >> (x % 8));
      }
    }
  }
  const Bitmap mask(CreateBitmap(picture.width, picture.height, 1, 1, maskBits.data()));
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour.get();
  info.hbmMask = mask.get();
  // The icon holds copies of both bitmaps.
  return Icon(mask ? CreateIconIndirect(&info) : nullptr);
}

}  // namespace

}  // namespace platform

namespace platform::win32 {
namespace {

// The font's height at 96 dpi as the system has always made it, then scaled to
// `dpi` toward the smaller size: -MulDiv(points, dpi, 72) itself rounds up at
// some scales (16.67 to 17 pixels for 10 points at 120 dpi) and its text would
// outgrow the label that fits it at 96 dpi.
Font makeFont(const FontSpec& spec, int dpi) {
  const int height = -(MulDiv(spec.points, kBaseDpi, 72) * dpi / kBaseDpi);
  return Font(CreateFontW(height, 0, 0, 0, spec.weight, spec.italic, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          spec.proofQuality ? PROOF_QUALITY : DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, widen(spec.face).c_str()));
}

// The drawing an image at `dpi` is made from: the smallest at least as wide
// as the image's 96-dpi width scaled, else the largest.
const Picture& drawingFor(const ImageRecord& record, int width) {
  const Picture* chosen = &record.picture;
  if (chosen->width >= width) return *chosen;
  for (const Picture& larger : record.larger) {
    chosen = &larger;
    if (larger.width >= width) break;
  }
  return *chosen;
}

// The pixels of `record` for `dpi`, and the width of the drawing they came from.
Picture picturesFor(const ImageRecord& record, int dpi, int* sourceWidth) {
  const int width = scaleForDpi(record.picture.width, dpi);
  const int height = scaleForDpi(record.picture.height, dpi);
  const Picture& source = drawingFor(record, width);
  *sourceWidth = source.width;
  return resizePicture(source, width, height);
}

// The image's bitmap or icon (`own`, at 96 dpi) made for `dpi`: made from its
// drawings by `make` when first asked for and kept in `at`. Null when there is
// no such image, or when `needsOwn` and the image has none at 96 dpi.
template <typename Handle, typename Make>
auto madeFor(int image, int dpi, Handle ImageRecord::*own, std::map<int, Handle> ImageRecord::*at,
             bool needsOwn, Make make) -> decltype(std::declval<const Handle&>().get()) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.images.find(image);
  if (it == r.images.end()) return nullptr;
  ImageRecord& record = it->second;
  if (dpi == kBaseDpi || dpi <= 0) return (record.*own).get();
  if (needsOwn && !(record.*own)) return nullptr;
  auto& made = record.*at;
  if (const auto found = made.find(dpi); found != made.end()) return found->second.get();
  int sourceWidth = 0;
  Handle handle = make(picturesFor(record, dpi, &sourceWidth));
  if (!handle) return nullptr;
  const auto kept = handle.get();
  made[dpi] = std::move(handle);
  record.sourceWidthAt[dpi] = sourceWidth;
  return kept;
}

}  // namespace

HFONT fontFor(int font, int dpi) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.fonts.find(font);
  if (it == r.fonts.end()) return nullptr;
  const auto made = it->second.at.find(dpi);
  if (made != it->second.at.end()) return made->second.get();
  Font handle = makeFont(it->second.spec, dpi);
  const HFONT kept = handle.get();
  if (handle) it->second.at[dpi] = std::move(handle);
  return kept;
}

HFONT guiFontFor(int dpi) {
  const auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const int system = systemDpi();
  if (dpi == kBaseDpi && system == kBaseDpi) return stock;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto made = r.guiFonts.find(dpi);
  if (made != r.guiFonts.end()) return made->second.get();
  LOGFONTW description{};
  if (!GetObjectW(stock, sizeof description, &description)) return stock;
  // The stock font is made for the system DPI: its size at 96 dpi, then at
  // the window's, rounded toward the smaller size, so that no caption grows
  // faster than the control it was measured for at 96 dpi (glyphs widen a
  // little more than their height at some sizes).
  const int height96 = MulDiv(description.lfHeight, kBaseDpi, system);
  description.lfHeight = height96 * dpi / kBaseDpi;
  description.lfWidth = 0;
  Font handle(CreateFontIndirectW(&description));
  if (!handle) return stock;
  const HFONT kept = handle.get();
  r.guiFonts[dpi] = std::move(handle);
  return kept;
}

HBITMAP bitmapFor(int image, int dpi) {
  return madeFor(image, dpi, &ImageRecord::bitmap, &ImageRecord::bitmapAt, false, makeBitmap);
}

// A bitmap image has no icon, at any DPI.
HICON iconFor(int image, int dpi) {
  return madeFor(image, dpi, &ImageRecord::icon, &ImageRecord::iconAt, true, makeIcon);
}

int sourceWidthFor(int image, int dpi) {
  return readRecord(&Registry::images, image, 0, [dpi](const ImageRecord& record, const Registry&) {
    if (dpi == kBaseDpi || dpi <= 0) return record.picture.width;
    const auto made = record.sourceWidthAt.find(dpi);
    return made == record.sourceWidthAt.end() ? 0 : made->second;
  });
}

}  // namespace platform::win32

namespace platform {

bool createFont(int font, const FontSpec& spec) {
  const int dpi = systemDpi();
  Font handle = makeFont(spec, dpi);
  if (!handle) return false;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  // A font made again under the same number frees the old one at every DPI.
  FontRecord& record = r.fonts[font];
  record.at.clear();
  record.spec = spec;
  record.at[dpi] = std::move(handle);
  return true;
}

bool createImage(int image, const Picture& picture, ImageKind kind) {
  if (picture.empty()) return false;
  ImageRecord record;
  record.kind = kind;
  record.picture = picture;
  if (kind == ImageKind::bitmap) {
    record.bitmap = makeBitmap(picture);
    if (!record.bitmap) return false;
  } else {
    record.icon = makeIcon(picture);
    if (!record.icon) return false;
  }
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  // An image made again under the same number frees the old one at every DPI.
  r.images[image] = std::move(record);
  return true;
}

bool addImageScale(int image, const Picture& picture) {
  if (picture.empty()) return false;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.images.find(image);
  if (it == r.images.end() || picture.width <= it->second.picture.width) return false;
  auto& larger = it->second.larger;
  auto at = larger.begin();
  while (at != larger.end() && at->width < picture.width) ++at;
  larger.insert(at, picture);
  return true;
}

bool imageExists(int image) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.images.count(image) != 0;
}

bool copyImageRect(int source, int target, int x, int y, int width, int height) {
  Picture piece;
  std::vector<Picture> largerPieces;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.images.find(source);
    if (it == r.images.end()) return false;
    const Picture& base = it->second.picture;
    piece = cutPicture(base, x, y, width, height);
    // Each larger drawing cut at the scaled place, rounded as the window's
    // pixels are.
    for (const Picture& larger : it->second.larger) {
      const auto at = [&](int value) { return MulDiv(value, larger.width, base.width); };
      Picture cut = cutPicture(larger, at(x), at(y), at(x + width) - at(x), at(y + height) - at(y));
      if (!cut.empty()) largerPieces.push_back(std::move(cut));
    }
  }
  if (!createImage(target, piece, ImageKind::bitmap)) return false;
  for (const Picture& larger : largerPieces) addImageScale(target, larger);
  return true;
}

Surface::Surface(int window) : window_(window) {
  if (HWND hwnd = windowHandle(window)) {
    handle_ = GetDC(hwnd);
    owner_ = hwnd;
  }
}

Surface::Surface(int window, void* paintContext)
    : handle_(paintContext), window_(window), borrowed_(true) {}

Surface::~Surface() {
  if (!handle_ || borrowed_) return;
  // Released to the window it came from, even when that window has closed
  // meanwhile and its number no longer leads to it.
  ReleaseDC(static_cast<HWND>(owner_), static_cast<HDC>(handle_));
}

void Surface::drawImage(int image, int x96, int y96, int width96, int height96) {
  if (!handle_ || width96 < 1 || height96 < 1) return;
  HDC dc = static_cast<HDC>(handle_);
  const int dpi = windowDpi(window_);
  const int x = scaleForDpi(x96, dpi);
  const int y = scaleForDpi(y96, dpi);
  const int width = scaleForDpi(x96 + width96, dpi) - x;
  const int height = scaleForDpi(y96 + height96, dpi) - y;
  HBITMAP bitmap = bitmapFor(image, dpi);
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return;
  const MemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  const Selection picture(memory.get(), bitmap);
  if (info.bmWidth == width && info.bmHeight == height) {
    BitBlt(dc, x, y, width, height, memory.get(), 0, 0, SRCCOPY);
  } else {
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, x, y, width, height, memory.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
  }
}

void Surface::drawText(int font, int x, int y, std::string_view text, Rgb colour) {
  if (!handle_) return;
  HDC dc = static_cast<HDC>(handle_);
  const int dpi = windowDpi(window_);
  HFONT handle = fontFor(font, dpi);
  SetBkMode(dc, TRANSPARENT);
  const Selection selected(dc, handle);
  SetTextColor(dc, RGB(colour.r, colour.g, colour.b));
  const std::wstring wide = widen(text);
  TextOutW(dc, scaleForDpi(x, dpi), scaleForDpi(y, dpi), wide.c_str(),
           static_cast<int>(wide.size()));
}

}  // namespace platform
