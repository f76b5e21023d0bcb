#pragma once
// Which way the Win32 backend copies a file's contents, for the Windows tests
// only: the shipped program never calls this, so it always takes the choice
// made by the one-time probe (the system's copy where it answers its progress
// routine, as on Windows; the engine's own chunk loop where it does not, as
// under Wine).
namespace platform::win32::testing {

enum class CopyBranch {
  probed,      // as the program runs
  systemCopy,  // CopyFileExW into the temporary file
  ownLoop,     // the engine's chunk loop into the temporary file
};

void useCopyBranch(CopyBranch branch);
// How many files CopyFileExW has copied into their temporary files so far.
int systemCopies();

}  // namespace platform::win32::testing
