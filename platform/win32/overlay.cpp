// Painting over a picture control: the control's own paint is taken over, so
// its picture and the texts on top of it are drawn into the one device
// context of its paint request.
// clang-format off
#include "platform/win32/ui_internal.h"  // <windows.h>, ahead of <commctrl.h>
// clang-format on

#include <commctrl.h>

#include <map>
#include <mutex>

#include "platform/dpi.h"

namespace platform::win32 {
namespace {

constexpr UINT_PTR kOverlaySubclass = 2;

struct Overlays {
  std::mutex mutex;
  std::map<int, Painter> painters;
};

Overlays& overlays() { return lasting<Overlays>(); }

// The control's picture at its natural size from the top-left corner, as the
// picture control draws it.
void drawPicture(HWND control, HDC dc) {
  auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return;
  const MemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  const Selection picture(memory.get(), bitmap);
  BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}

void paint(HWND control, int number) {
  Painter painter;
  {
    Overlays& o = overlays();
    std::lock_guard lock(o.mutex);
    const auto it = o.painters.find(number);
    if (it != o.painters.end()) painter = it->second;
  }
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(control, &ps);
  if (!dc) return;
  drawPicture(control, dc);
  if (painter) {
    const RECT& r = ps.rcPaint;
    const int window = windowNumber(GetAncestor(control, GA_ROOT));
    Surface surface(window, dc);
    // The painter works in 96-dpi units.
    painter(surface, unscaleAreaOutward({r.left, r.top, r.right - r.left, r.bottom - r.top},
                                        windowDpi(window)));
  }
  EndPaint(control, &ps);
}

LRESULT CALLBACK overlayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR number) {
  switch (message) {
    case WM_PAINT:
      paint(hwnd, static_cast<int>(number));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel with the picture
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, overlayProc, kOverlaySubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace
}  // namespace platform::win32

namespace platform {

using namespace platform::win32;

void setOverlayPainter(int control, Painter painter) {
  HWND hwnd = controlHandle(control);
  if (!hwnd) return;
  {
    Overlays& o = overlays();
    std::lock_guard lock(o.mutex);
    o.painters[control] = std::move(painter);
  }
  // Called on the UI thread, which made the control and so may subclass it.
  SetWindowSubclass(hwnd, overlayProc, kOverlaySubclass, static_cast<DWORD_PTR>(control));
  // The picture lies under the controls placed on it, and its paint leaves
  // them out, whenever it paints.
  SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_CLIPSIBLINGS);
  SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(hwnd, nullptr, FALSE);
}

void invalidateArea(int control, const Area& area) {
  HWND hwnd = controlHandle(control);
  if (!hwnd) return;
  const Area pixels = scaleAreaOutward(area, controlDpi(control));
  const RECT rect{pixels.x, pixels.y, pixels.x + pixels.width, pixels.y + pixels.height};
  // Any thread may mark the area; only the UI thread paints, at once when it
  // is the caller, else at its next dispatch.
  InvalidateRect(hwnd, &rect, FALSE);
  if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) UpdateWindow(hwnd);
}

}  // namespace platform
