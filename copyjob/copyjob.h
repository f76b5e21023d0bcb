#pragma once
// The copy job's engine: the two folder walks (element count and total size),
// the recursive folder copy with the copy thread's body, and the path helpers
// that name the folder a copy lands in.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace copyjob {

// ---- Folder walks -------------------------------------------------------------------
// Both walks read listings only, never file contents. Links to folders are left
// out (neither counted, measured nor entered), so a link to a parent folder
// cannot make them loop; a link to a file counts as that file. Neither walk
// recurses, so a tree thousands of folders deep is fine on any thread stack. A
// folder that cannot be listed contributes nothing. On a worker thread asked to
// stop, a walk ends at the next folder with what it has found so far.

// Counts the files and folders below `folder` (the folder itself excluded)
// into app::appState().scannedFiles / scannedFolders and shows their running
// sum in the source information line as " " + n while it grows (at most about
// every 10 ms; the last value shown is always the final one). `level` is the
// depth of `folder` below the scanned top, 0 for the top. Returns
// scannedFiles + scannedFolders.
std::int32_t countElements(int level, std::string_view folder);

// The total size in bytes of the files below `folder` whose names match
// `pattern`, in sub-folders whose names match it too ("*.*" for all).
std::int64_t folderTotalSize(std::string_view folder, std::string_view pattern);

// What a tree holds, found by the same walk: whether the folder exists, the
// total size of its files and the numbers of its files and sub-folders (the
// folder itself excluded).
struct TreeTotals {
  bool found = false;
  std::int64_t bytes = 0;
  std::int64_t files = 0;
  std::int64_t folders = 0;
  friend bool operator==(const TreeTotals&, const TreeTotals&) = default;
};
TreeTotals treeTotals(std::string_view folder);

// ---- Recursive copy -------------------------------------------------------------------

enum CopyFlags : unsigned {
  kRecurse = 1,                // descend into sub-folders (else they are skipped)
  kResetTargetAttributes = 2,  // make an existing target file normal before replacing it
};

// Copies the contents of `source` into the folder `target` (created, one
// level, when missing), depth first, empty folders included; files of the
// same name are replaced, files only in the target stay. Each file arrives
// whole or not at all: an earlier target is replaced only by a complete copy.
// `pattern` filters the entries of every folder ("" means "*.*"). Returns 1
// when every file and folder was copied, 0 otherwise: empty source or target,
// source not listable, target not creatable (missing parent, a file of that
// name), a file that could not be copied (the others are still copied), or a
// stop asked of the copying thread (it ends within one chunk of a file). Links
// to folders are not copied; the target folder met inside the source (a copy
// into its own sub-folder) is not copied into itself.
// When `failed` is given, the path of each source file or folder that could not
// be copied is added to it, in the order met.
int copyFolderTree(std::string_view source, std::string_view target, std::string_view pattern,
                   unsigned flags, std::vector<std::string>* failed = nullptr);

// The copy thread: reads the source and destination path fields, copies the
// source tree into copyTargetPath(destination, source) with every file and
// kRecurse | kResetTargetAttributes. The parameter is not used; returns 0.
int copyThreadMain(int parameter);

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

}  // namespace copyjob
