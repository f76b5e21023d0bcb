// Fonts, images and drawing straight onto a window's client area.
#include <cstring>
#include <mutex>

#include "platform/win32/text.h"
#include "platform/win32/ui_internal.h"

namespace platform {

using namespace platform::win32;

namespace {

// A 32-bit top-down DIB section holding the picture's pixels as they are.
HBITMAP makeBitmap(const Picture& picture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return bitmap;
  std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(std::uint32_t));
  GdiFlush();
  return bitmap;
}

HICON makeIcon(const Picture& picture) {
  HBITMAP colour = makeBitmap(picture);
  if (!colour) return nullptr;
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
  HBITMAP mask = CreateBitmap(picture.width, picture.height, 1, 1, maskBits.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = mask ? CreateIconIndirect(&info) : nullptr;
  DeleteObject(colour);
  if (mask) DeleteObject(mask);
  return icon;
}

}  // namespace

bool createFont(int font, const FontSpec& spec) {
  HDC screen = GetDC(nullptr);
  const int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  const int height = -MulDiv(spec.points, pixelsPerInch, 72);
  HFONT handle = CreateFontW(height, 0, 0, 0, spec.weight, spec.italic, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             spec.proofQuality ? PROOF_QUALITY : DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, widen(spec.face).c_str());
  if (!handle) return false;
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (const auto old = r.fonts.find(font); old != r.fonts.end()) DeleteObject(old->second);
  r.fonts[font] = handle;
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
  if (const auto old = r.images.find(image); old != r.images.end()) {
    if (old->second.bitmap) DeleteObject(old->second.bitmap);
    if (old->second.icon) DestroyIcon(old->second.icon);
  }
  r.images[image] = std::move(record);
  return true;
}

bool imageExists(int image) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.images.count(image) != 0;
}

bool copyImageRect(int source, int target, int x, int y, int width, int height) {
  Picture piece;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.images.find(source);
    if (it == r.images.end()) return false;
    piece = cutPicture(it->second.picture, x, y, width, height);
  }
  return createImage(target, piece, ImageKind::bitmap);
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

void Surface::drawImage(int image, int x, int y, int width, int height) {
  if (!handle_ || width < 1 || height < 1) return;
  HDC dc = static_cast<HDC>(handle_);
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.images.find(image);
  if (it == r.images.end() || !it->second.bitmap) return;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ previous = SelectObject(memory, it->second.bitmap);
  const Picture& picture = it->second.picture;
  if (picture.width == width && picture.height == height) {
    BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
  } else {
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, x, y, width, height, memory, 0, 0, picture.width, picture.height, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void Surface::drawText(int font, int x, int y, std::string_view text, Rgb colour) {
  if (!handle_) return;
  HDC dc = static_cast<HDC>(handle_);
  HFONT handle = nullptr;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.fonts.find(font);
    if (it != r.fonts.end()) handle = it->second;
  }
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previous = handle ? SelectObject(dc, handle) : nullptr;
  SetTextColor(dc, RGB(colour.r, colour.g, colour.b));
  const std::wstring wide = widen(text);
  TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
  if (previous) SelectObject(dc, previous);
}

}  // namespace platform
