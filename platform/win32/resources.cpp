#include "platform/resources.h"

#include <windows.h>

namespace platform {

std::span<const std::uint8_t> resourceBytes(int resource) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10));  // RCDATA
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  const DWORD size = SizeofResource(nullptr, found);
  if (!loaded || size == 0) return {};
  return {static_cast<const std::uint8_t*>(LockResource(loaded)), size};
}

}  // namespace platform
