#pragma once
// The file engine: the two folder walks (element count and total size),
// the recursive folder copy with the copy thread's body, and the path helpers
// that name the folder a copy lands in.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

namespace engine {

// ---- Folder walks -------------------------------------------------------------------
// Both walks read listings only, never file contents. Links to folders are left
// out (neither counted, measured nor entered), so a link to a parent folder
// cannot make them loop; a link to a file counts as that file. Whatever the
// listing says, a folder already on the branch being walked (the same volume
// and file number) is never entered again. Neither walk
// recurses, so a tree thousands of folders deep is fine on any thread stack. A
// folder that cannot be listed contributes nothing. On a worker thread asked to
// stop, a walk ends at the next folder with what it has found so far.

// Told of the running count after each element the count meets: the files
// and the sub-folders found so far. Called on the counting thread.
using ElementCountHandler = std::function<void(std::int32_t files, std::int32_t folders)>;

// Counts the files and folders below `folder` (the folder itself excluded),
// telling `onCount` the running counts after each one. `level` is the depth
// of `folder` below the scanned top, 0 for the top. Returns files + folders.
std::int32_t countElements(int level, std::string_view folder,
                           const ElementCountHandler& onCount = {});

// The total size in bytes of the files below `folder` whose names match
// `pattern`, in sub-folders whose names match it too ("*.*" for all).
std::int64_t folderTotalSize(std::string_view folder, std::string_view pattern);

// What a tree holds, found by one walk: whether the folder exists, the total
// size of its files and the numbers of its files and sub-folders (the folder
// itself excluded). `onCount`, when given, is told the running counts after
// each element, as countElements tells them, so one pass both counts and
// sizes a tree.
struct TreeTotals {
  bool found = false;
  std::int64_t bytes = 0;
  std::int64_t files = 0;
  std::int64_t folders = 0;
  friend bool operator==(const TreeTotals&, const TreeTotals&) = default;
};
TreeTotals treeTotals(std::string_view folder, const ElementCountHandler& onCount = {});

// ---- Recursive copy -------------------------------------------------------------------

enum CopyFlags : unsigned {
  kRecurse = 1,                // descend into sub-folders (else they are skipped)
  kResetTargetAttributes = 2,  // make an existing target file normal before replacing it
};

// Why an element could not be copied: the cause, and the system's error
// number behind it (0 for the engine's own findings).
struct FailureReason {
  platform::FailureCause cause = platform::FailureCause::other;
  std::uint32_t error = 0;
  friend bool operator==(const FailureReason&, const FailureReason&) = default;
};

// The reason from the system's error number of the call that failed.
inline FailureReason reasonOfError(std::uint32_t error) {
  return {platform::failureCause(error), error};
}

// Told of each element of the source that could not be copied, by its path
// in the source, and why: a file that could not be read or written, a file
// whose name lands on the target of another source file (names differing
// only in letter case, on a target that does not tell them apart), a folder
// that could not be listed or created, a folder met again on its own branch.
// Called on the copying thread, in the order the elements come up.
using FailedElementHandler =
    std::function<void(const std::string& sourcePath, const FailureReason& reason)>;

// Copies the contents of `source` into the folder `target` (created, one
// level, when missing), depth first, empty folders included; files of the
// same name are replaced, files only in the target stay. Each file arrives
// whole or not at all: an earlier target is replaced only by a complete copy,
// and with kResetTargetAttributes its protecting attributes are reset only
// right before that replace. `pattern` filters the entries of every folder ("" means
// "*.*"). Both paths are taken as typed (resolveTypedPath). Returns 1 when
// every file and folder was copied, 0 otherwise: empty source or target,
// target the same folder as the source, inside it or containing it
// (targetOverlapsSource: then nothing at all is written), source not
// listable, target not creatable (missing parent, a file of that name), an
// element that could not be copied (each one is told to `onFailed`; the others
// are still copied), or a stop asked of the copying thread (it ends within one
// chunk of a file). Links to folders are not copied. A target that fills up
// does not stop the copy: the files that do not fit are failed elements and
// the rest goes on. A top target folder that vanishes during the copy
// (removed, renamed, its volume gone) stops it at the first write that fails:
// that element, the rest of the folder being copied and each sub-folder still
// waiting on the branch (one element with everything below it) are told to
// `onFailed`, without any attempt to write them.
int copyFolderTree(std::string_view source, std::string_view target, std::string_view pattern,
                   unsigned flags, const FailedElementHandler& onFailed = {});

// The copy of the chosen folders, `source` and `destination` as the user
// typed them: resolves both as typed paths and copies the source tree into
// copyTargetPath(destination, source) with every file and
// kRecurse | kResetTargetAttributes, telling each failed element to
// `onFailed`. Returns copyFolderTree's result (0 too when either is empty).
int copyChosenFolder(std::string_view source, std::string_view destination,
                     const FailedElementHandler& onFailed = {});

// The copy thread: copies the job's `source` into its `target` (the folders
// the job controller resolved and named) with every file and
// kRecurse | kResetTargetAttributes, telling each failed element to
// `onFailed`. `landedBytes`, when given, counts the bytes that have landed in
// the target as they are written, for the job's progress bar: a file that
// fails takes its bytes back out. The result is dropped; returns 0.
int copyThreadMain(const std::string& source, const std::string& target,
                   const FailedElementHandler& onFailed = {},
                   std::atomic<std::int64_t>* landedBytes = nullptr);

// ---- Typed paths and overlapping folders --------------------------------------------

// A path as the user typed it, in the form the system's shell gives it: "."
// and ".." resolved by the text ("/data/Photos/sub/.." is "/data/Photos",
// "/data/Photos/." is "/data/Photos"), doubled separators folded; on Windows
// also '/' read as '\', a name's single trailing dot dropped and, unless the
// path ends with a separator, the trailing dots and blanks of its last name
// ("E:\Sauvegardes\dst." is "E:\Sauvegardes\dst"). A trailing separator
// is kept; a relative path keeps the ".." it cannot resolve; "" stays "".
std::string resolveTypedPath(std::string_view path);

// True when the folder `target` is the folder `source`, lies inside it, or
// contains it: judged by folder identity (volume and file number, through
// links and any spelling or letter case), after resolving both as typed
// paths. `target` need not exist yet: it then lies inside the source when its
// nearest existing ancestor does. False when `source` is not an existing
// folder. The job controller refuses such a pair before anything is written,
// and copyFolderTree refuses it too.
bool targetOverlapsSource(std::string_view source, std::string_view target);

// ---- Path helpers -------------------------------------------------------------------

// The name of the folder a copy of `source` lands in: the last folder the
// source names, with or without a trailing separator ("C:\Données\Photos\" and
// "C:\Données\Photos" both give "Photos"). A drive root gives its letter
// ("D:\" gives "D"); a POSIX root "/" gives kRootFolderName. "" for "".
std::string jobFolderName(std::string_view source);

inline constexpr std::string_view kRootFolderName = "racine";

// destination + a separator when it lacks one + jobFolderName(source) + a
// separator: the folder a copy fills. "" when either part is empty.
std::string copyTargetPath(std::string_view destination, std::string_view source);

}  // namespace engine
