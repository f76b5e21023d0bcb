#pragma once
// Owners for the system's handles, so that every path out of a function
// closes what it opened.
#include <windows.h>

#include <utility>

namespace platform::win32 {

// A kernel handle (file, folder) that closes itself; INVALID_HANDLE_VALUE
// when it holds nothing.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Closes now; false when the system reports the close as failed (which
  // can be the first sign of a write that did not reach the disk).
  bool close() {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return handle == INVALID_HANDLE_VALUE || handle == nullptr || CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A FindFirstFile search that ends itself.
class FindHandle {
 public:
  FindHandle() = default;
  explicit FindHandle(HANDLE find) : find_(find) {}
  ~FindHandle() { close(); }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  FindHandle(FindHandle&& other) noexcept
      : find_(std::exchange(other.find_, INVALID_HANDLE_VALUE)) {}
  FindHandle& operator=(FindHandle&& other) noexcept {
    if (this != &other) {
      close();
      find_ = std::exchange(other.find_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }

  HANDLE get() const { return find_; }
  bool valid() const { return find_ != INVALID_HANDLE_VALUE; }
  void close() {
    const HANDLE find = std::exchange(find_, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }

 private:
  HANDLE find_ = INVALID_HANDLE_VALUE;
};

}  // namespace platform::win32
