#pragma once
// Owners for the system's handles, so that every path out of a function
// closes what it opened.
#include <windows.h>

#include <utility>

namespace platform::win32 {

// A handle of type T released by `Traits::release` when its owner goes;
// `Traits::none()` (or null) when it holds nothing. Movable, not copyable.
template <typename T, typename Traits>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T handle) : handle_(handle) {}
  ~Owned() { close(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::none())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, Traits::none());
    }
    return *this;
  }

  T get() const { return handle_; }
  bool valid() const { return handle_ != Traits::none() && handle_ != nullptr; }
  explicit operator bool() const { return valid(); }
  // Releases now; false when the system reports the release as failed (for a
  // file, possibly the first sign of a write that did not reach the disk).
  bool close() {
    const T handle = std::exchange(handle_, Traits::none());
    return handle == Traits::none() || handle == nullptr || Traits::release(handle);
  }

 private:
  T handle_ = Traits::none();
};

// A kernel handle released by `Release`, INVALID_HANDLE_VALUE when none.
template <BOOL(WINAPI* Release)(HANDLE)>
struct KernelRelease {
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static bool release(HANDLE handle) { return Release(handle) != 0; }
};
template <BOOL(WINAPI* Release)(HANDLE)>
using OwnedHandle = Owned<HANDLE, KernelRelease<Release>>;

// A kernel handle (file, folder).
using Handle = OwnedHandle<CloseHandle>;
// A FindFirstFile search.
using FindHandle = OwnedHandle<FindClose>;

}  // namespace platform::win32
