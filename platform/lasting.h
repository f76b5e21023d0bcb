#pragma once
// The process's one object of a kind, for what threads still running as the
// process ends may reach.
#include <new>

namespace platform {

// The process's one T, made on first use and never destroyed.
template <typename T>
T& lasting() {
  alignas(T) static unsigned char storage[sizeof(T)];
  static T* const object = ::new (static_cast<void*>(storage)) T();
  return *object;
}

}  // namespace platform
