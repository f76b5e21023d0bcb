#pragma once
// Owners for the system's handles, so that every path out of a function
// closes what it opened.
#include <windows.h>

#include <utility>

namespace platform::win32 {

// A handle released by `Release` when its owner goes; INVALID_HANDLE_VALUE
// (or null) when it holds nothing. Movable, not copyable.
template <BOOL(WINAPI* Release)(HANDLE)>
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() { close(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OwnedHandle(OwnedHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Releases now; false when the system reports the release as failed (for a
  // file, possibly the first sign of a write that did not reach the disk).
  bool close() {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return handle == INVALID_HANDLE_VALUE || handle == nullptr || Release(handle) != 0;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A kernel handle (file, folder).
using Handle = OwnedHandle<CloseHandle>;
// A FindFirstFile search.
using FindHandle = OwnedHandle<FindClose>;

}  // namespace platform::win32
