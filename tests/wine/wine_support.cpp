#include "wine_support.h"

#include "platform/win32/text.h"

namespace winetest {

void pump(int milliseconds) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(2);
  } while (GetTickCount64() < end);
}

Pixels::Pixels(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  width_ = client.right;
  height_ = client.bottom;
  pixels_.assign(static_cast<std::size_t>(width_ * height_), 0);
  HDC window = GetDC(hwnd);
  HDC memory = CreateCompatibleDC(window);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width_, height_, window, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* words = static_cast<const DWORD*>(bits);
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    const DWORD word = words[i];  // 0x00RRGGBB
    pixels_[i] = RGB((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF);
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, window);
}

COLORREF Pixels::at(int x, int y) const {
  return pixels_[static_cast<std::size_t>(y * width_ + x)];
}

void repaintNow(HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int gdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return static_cast<int>(counted);
  // A handle without its upper word names the table entry alone.
  int live = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
  }
  return live;
}

int userObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counted != 0) return static_cast<int>(counted);
  int windows = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM count) -> BOOL {
        ++*reinterpret_cast<int*>(count);
        EnumChildWindows(
            hwnd,
            [](HWND, LPARAM inner) -> BOOL {
              ++*reinterpret_cast<int*>(inner);
              return TRUE;
            },
            count);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::string textOf(HWND hwnd) {
  wchar_t buffer[4096];
  const int length = GetWindowTextW(hwnd, buffer, 4096);
  return platform::win32::narrow(std::wstring_view(buffer, static_cast<std::size_t>(length)));
}

namespace {
TimerScript* running = nullptr;
}  // namespace

TimerScript::TimerScript(std::function<bool()> step) : step_(std::move(step)) {
  running = this;
  timer_ = SetTimer(nullptr, 0, 5, &TimerScript::tick);
}

TimerScript::~TimerScript() {
  KillTimer(nullptr, timer_);
  running = nullptr;
}

void CALLBACK TimerScript::tick(HWND, UINT, UINT_PTR, DWORD) {
  TimerScript* script = running;
  if (!script || script->finished_) return;
  // Finished before the step runs: a step that opens a modal loop of its own
  // must not be entered again from that loop.
  script->finished_ = true;
  script->finished_ = script->step_();
}

std::wstring longForm(const std::string& path) { return L"\\\\?\\" + platform::win32::widen(path); }

std::string freshTempFolderName(const std::string& prefix) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  wchar_t full[MAX_PATH];
  GetLongPathNameW(temp, full, MAX_PATH);
  return platform::win32::narrow(full) + prefix + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount64());
}

bool writeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

}  // namespace winetest
