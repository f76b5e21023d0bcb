// The destination volume's texts, asked of the system on every call.
#include "volume/volume.h"

#include <string>
#include <string_view>

#include "platform/files.h"

namespace volume {

namespace {

constexpr unsigned long kErrorNotReady = 21;

}  // namespace

std::string fileSystemTextOf(const platform::VolumeInfo& info) {
  if (info.ok) return info.fileSystem;
  if (info.error == kErrorNotReady) return " Not ready";
  return " " + std::to_string(info.error);
}

std::string fileSystemText(std::string_view path) {
  return fileSystemTextOf(platform::volumeInformation(driveRoot(path), path));
}

std::string totalCapacityText(std::string_view path) {
  const platform::DiskSpace space = platform::diskSpace(driveRoot(path), path);
  return sizeText(space.ok ? space.total : 0);
}

std::string freeSpaceText(std::string_view path) {
  const platform::DiskSpace space = platform::diskSpace(driveRoot(path), path);
  return sizeText(space.ok ? space.availableToUser : 0);
}

std::uint64_t freeSpaceByteCount(std::string_view path) {
  const platform::DiskSpace space = platform::diskSpace(driveRoot(path), path);
  return space.ok ? space.availableToUser : 0;
}

std::string freeSpaceBytes(std::string_view path) {
  return std::to_string(freeSpaceByteCount(path));
}

}  // namespace volume
