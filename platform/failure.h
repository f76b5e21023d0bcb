#pragma once
// Why a file call failed, in terms every backend shares: each backend turns
// its own error numbers (errno on POSIX, GetLastError() on Win32) into one of
// these causes; the words the user reads come from one table above the
// platform layer (copyjob::failureReasonText).
#include <cstdint>

namespace platform {

enum class FailureCause {
  other,                 // none of the below: told with the system's number
  accessRefused,         // Win32 5; POSIX EACCES, EPERM
  heldByAnotherProgram,  // Win32 32, 33
  noRoom,                // Win32 39, 112; POSIX ENOSPC, EDQUOT
  notFound,              // Win32 2, 3; POSIX ENOENT
  nameTooLong,           // Win32 206; POSIX ENAMETOOLONG
  invalidName,           // Win32 123
  mediumGone,            // Win32 21, 55, 1167; POSIX ENODEV, ENXIO
  networkLost,           // Win32 53, 59, 64, 67
  mediumError,           // Win32 23, 29, 30, 1117; POSIX EIO
  writeProtected,        // Win32 19; POSIX EROFS
  // The engine's own findings, which no system number tells:
  changedDuringCopy,  // the file changed while it was copied
  caseClash,          // its name differs from another's only by letter case
  danglingLink,       // a link whose target is missing
  destinationGone,    // the destination folder went away during the copy
};

// The cause of the backend's error number `error` (other for 0 and for any
// number the table does not know).
FailureCause failureCause(std::uint32_t error);

// The backend's number for a folder met again on its own branch (a link
// loop): POSIX ELOOP, Win32 ERROR_CANT_RESOLVE_FILENAME.
std::uint32_t linkLoopError();

}  // namespace platform
