// POSIX error numbers as the causes every backend shares.
#include "platform/failure.h"

#include <cerrno>

namespace platform {

FailureCause failureCause(std::uint32_t error) {
  switch (static_cast<int>(error)) {
    case EACCES:
    case EPERM:
      return FailureCause::accessRefused;
    case ENOSPC:
    case EDQUOT:
      return FailureCause::noRoom;
    case ENOENT:
      return FailureCause::notFound;
    case ENAMETOOLONG:
      return FailureCause::nameTooLong;
    case ENODEV:
    case ENXIO:
      return FailureCause::mediumGone;
    case EIO:
      return FailureCause::mediumError;
    case EROFS:
      return FailureCause::writeProtected;
    default:
      return FailureCause::other;
  }
}

std::uint32_t linkLoopError() { return ELOOP; }

}  // namespace platform
