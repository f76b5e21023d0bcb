// Win32 error numbers as the causes every backend shares.
#include "platform/failure.h"

#include <windows.h>

namespace platform {

FailureCause failureCause(std::uint32_t error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:  // 5
      return FailureCause::accessRefused;
    case ERROR_SHARING_VIOLATION:  // 32
    case ERROR_LOCK_VIOLATION:     // 33
      return FailureCause::heldByAnotherProgram;
    case ERROR_HANDLE_DISK_FULL:  // 39
    case ERROR_DISK_FULL:         // 112
      return FailureCause::noRoom;
    case ERROR_FILE_NOT_FOUND:  // 2
    case ERROR_PATH_NOT_FOUND:  // 3
      return FailureCause::notFound;
    case ERROR_FILENAME_EXCED_RANGE:  // 206
      return FailureCause::nameTooLong;
    case ERROR_INVALID_NAME:  // 123
      return FailureCause::invalidName;
    case ERROR_NOT_READY:             // 21
    case ERROR_DEV_NOT_EXIST:         // 55
    case ERROR_DEVICE_NOT_CONNECTED:  // 1167
      return FailureCause::mediumGone;
    case ERROR_BAD_NETPATH:      // 53
    case ERROR_UNEXP_NET_ERR:    // 59
    case ERROR_NETNAME_DELETED:  // 64
    case ERROR_BAD_NET_NAME:     // 67
      return FailureCause::networkLost;
    case ERROR_CRC:          // 23
    case ERROR_WRITE_FAULT:  // 29
    case ERROR_READ_FAULT:   // 30
    case ERROR_IO_DEVICE:    // 1117
      return FailureCause::mediumError;
    case ERROR_WRITE_PROTECT:  // 19
      return FailureCause::writeProtected;
    default:
      return FailureCause::other;
  }
}

std::uint32_t linkLoopError() { return ERROR_CANT_RESOLVE_FILENAME; }

}  // namespace platform
