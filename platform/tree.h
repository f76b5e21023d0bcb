#pragma once
// The file layer under the folder walks and the recursive copy: folder
// listings, one-level folder creation, attribute reset and a whole-file copy
// that never leaves a partial file under the target's name. Paths are UTF-8;
// the Win32 backend converts them to UTF-16 and uses the long-path form, so
// no path is cut to 260 characters.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Attribute bits as the Win32 listing reports them. The POSIX backend makes
// up the same bits: read-only when the owner may not write, hidden for a name
// starting with a dot, the folder bit for folders.
inline constexpr std::uint32_t kAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kAttributeHidden = 0x2;
inline constexpr std::uint32_t kAttributeSystem = 0x4;
inline constexpr std::uint32_t kAttributeFolder = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
inline constexpr std::uint32_t kAttributeNormal = 0x80;

struct TreeEntry {
  std::string name;
  bool folder = false;
  // A symbolic link or a junction. A link to a folder is listed as a folder
  // and must not be entered (it may point at its own parent); a link to a file
  // is listed as the file it points to, with that file's size. A dangling link
  // is a file of size 0 that cannot be copied.
  bool link = false;
  std::uint64_t size = 0;  // files only
  std::uint32_t attributes = 0;
};

enum class ListingDetail {
  kinds,  // names, folder or file, link: enough to count
  sizes,  // also sizes and attributes (may cost one query per file on POSIX)
};

struct PathIdentity;

// What a tree call that succeeds or fails gives back: whether it did its work
// and, when it did not, the system's error number (errno on POSIX,
// GetLastError() on Win32) as it stood at the failing call, before any
// clean-up; 0 when the failure is the program's own finding (a file that
// changed while it was copied, say) or the call succeeded.
struct TreeResult {
  bool ok = false;
  std::uint32_t error = 0;
  explicit operator bool() const { return ok; }
};

// The same for a call with several outcomes: it stands for its outcome
// wherever one is expected (a comparison, a switch), and carries the error
// number beside it.
template <typename Outcome>
struct TreeOutcome {
  Outcome outcome{};
  std::uint32_t error = 0;
  constexpr operator Outcome() const { return outcome; }
};

// One open folder listing. The entries "." and ".." are never returned.
class FolderListing {
 public:
  FolderListing();  // with ~FolderListing, defined where State is known
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // Lists the entries of `folder` whose names match `pattern` (wildcards '*'
  // and '?', matched without regard to ASCII case; "" and "*.*" match every
  // name). False when the folder cannot be listed, or when nothing at all
  // matches (an ordinary folder always matches "*" and "*.*" through its "."
  // entry, so an empty folder opens; an empty drive root does not).
  TreeResult open(std::string_view folder, std::string_view pattern,
                  ListingDetail detail = ListingDetail::sizes);
  // The next entry in the order the file system gives them; false at the end.
  bool next(TreeEntry& entry);
  void close();
  // The identity of the folder this listing reads (see PathIdentity); false
  // when it cannot be had.
  bool identity(PathIdentity& identity) const;

  struct State;  // backend-defined
  const State* state() const { return state_.get(); }

 private:
  std::unique_ptr<State> state_;
};

// While one exists on a thread, the listings that thread opens reuse the
// folders of the branch being walked: a folder is opened relative to its
// nearest open ancestor, as `find` does, instead of from the root each time,
// which keeps a walk of a very deep tree linear (POSIX); and the identity of
// each folder listed asks its volume once per walk, not once per folder
// (Win32). A walk or a copy creates one for its length; without one, each
// listing opens its folder by its full path and asks its volume each time.
class ListingBranch {
 public:
  ListingBranch();
  ~ListingBranch();
  ListingBranch(const ListingBranch&) = delete;
  ListingBranch& operator=(const ListingBranch&) = delete;

  struct State;  // backend-defined

 private:
  std::unique_ptr<State> state_;
  State* previous_ = nullptr;  // the branch this one hides, restored when it goes
};

enum class FolderCreation { created, existed, failed };
// Creates one folder level (the parent must exist). `existed` when a folder of
// that name is already there (a bare drive such as "E:" included); `failed`
// when the parent is missing, access is denied, or a file of that name exists.
TreeOutcome<FolderCreation> createFolder(std::string_view path);

// Gives an existing file the "normal" attributes (Win32: no read-only, hidden
// or system bit; POSIX: writable by its owner) so that a copy can replace it.
// Links and folders are left alone; a missing path is not an error.
void makeNormal(std::string_view path);

enum class FileCopy { copied, failed, stopped };
// Copies the file `source` (a link to a file is followed) to `target`: the
// contents go into a temporary file beside the target, written in chunks of
// kCopyChunkBytes with platform::threadCheckpoint() between them, which then
// takes the source's attributes and modification time and is renamed over the
// target only when complete. Whatever goes wrong, or when the thread is asked
// to stop (`stopped`), the temporary file is removed and an existing target is
// left exactly as it was, attributes included. With `replaceProtected`, a
// read-only, hidden or system target (Win32) is made normal right before the
// final rename (and given its attributes back if the rename fails); without
// it such a target is not replaced on Win32. A file that changed (size or
// last-write time) while it was being copied is `failed`. So is a file whose
// temporary file or target folder went away during the copy (removed, moved,
// its volume unmounted): the POSIX backend looks between chunks, so even a
// large file ends within one chunk, and the temporary file is removed from
// the folder it was made in, wherever that folder went.
TreeOutcome<FileCopy> copyWholeFile(std::string_view source, std::string_view target,
                                    bool replaceProtected = false);

inline constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

// A target folder held open while it is filled, so that the files copied into
// it are created, renamed and removed relative to it rather than by their full
// paths (POSIX; the Win32 backend keeps the path).
class TargetFolder {
 public:
  TargetFolder();  // with ~TargetFolder, defined where State is known
  ~TargetFolder();
  TargetFolder(const TargetFolder&) = delete;
  TargetFolder& operator=(const TargetFolder&) = delete;

  // Creates one folder level as createFolder does and, unless that failed,
  // holds the folder open.
  TreeOutcome<FolderCreation> create(std::string_view path);
  void close();

  struct State;  // backend-defined
  State* state() { return state_.get(); }

 private:
  std::unique_ptr<State> state_;
};

// copyWholeFile for the entry `sourceName` of the open listing `sourceFolder`,
// copied to `targetName` inside `targetFolder`, with the same promises. The
// folder held open is looked up again by its path at least every quarter of a
// second: once the path no longer leads to it (removed, moved, replaced, its
// volume unmounted), this copy and every later one into it fail, as copies by
// path would.
TreeOutcome<FileCopy> copyWholeFile(const FolderListing& sourceFolder, std::string_view sourceName,
                                    TargetFolder& targetFolder, std::string_view targetName,
                                    bool replaceProtected = false);

// The temporary files of copyWholeFile are named "~ravelund-" + 16 lower-case
// hexadecimal digits + ".tmp", so a run that was killed in the middle of a file
// leaves something recognisable behind.
inline constexpr std::string_view kCopyTemporaryPrefix = "~ravelund-";
inline constexpr std::string_view kCopyTemporarySuffix = ".tmp";
inline constexpr std::size_t kCopyTemporaryDigits = 16;

inline bool isCopyTemporaryName(std::string_view name) {
  if (name.size() !=
          kCopyTemporaryPrefix.size() + kCopyTemporaryDigits + kCopyTemporarySuffix.size() ||
      !name.starts_with(kCopyTemporaryPrefix) || !name.ends_with(kCopyTemporarySuffix)) {
    return false;
  }
  for (const char c : name.substr(kCopyTemporaryPrefix.size(), kCopyTemporaryDigits)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Deletes the temporary copy files left in `folder` (not in its sub-folders)
// by a copy that was killed; the number removed. A file whose name is also
// the name of an entry of `sourceFolder` (when given) is kept: it may be the
// copy of a source file that happens to be named like a temporary file.
int removeLeftoverCopies(std::string_view folder, std::string_view sourceFolder = {});

// Who a file or folder is, whatever the path that reaches it: its volume and
// its number on that volume. Two paths name the same file or folder exactly
// when their identities are equal.
struct PathIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const PathIdentity&) const = default;
};
// The identity of an existing file or folder (a link is followed); false when
// nothing is there.
bool pathIdentity(std::string_view path, PathIdentity& identity);
// The same for an existing folder only; false for a file or nothing.
bool folderIdentity(std::string_view path, PathIdentity& identity);

// The path the system itself holds for an existing folder, with links
// resolved and names spelled as stored ("" when it cannot be had).
std::string finalFolderPath(std::string_view path);

// True when both paths name the same existing folder (through links, other
// spellings or letter case as the file system allows).
bool sameFolder(std::string_view first, std::string_view second);

// While one exists on a thread, copyWholeFile on that thread adds the bytes
// of each chunk it writes to `counter`, so that another thread can follow
// the copy inside a large file. A job's copy keeps one for its length.
class ChunkCounter {
 public:
  explicit ChunkCounter(std::atomic<std::int64_t>& counter);
  ~ChunkCounter();
  ChunkCounter(const ChunkCounter&) = delete;
  ChunkCounter& operator=(const ChunkCounter&) = delete;

 private:
  std::atomic<std::int64_t>* previous_ = nullptr;
};

namespace testing {
// Sleeps this long after each chunk of copyWholeFile, so a test can catch a
// copy in the middle of a file; 0 (the default) turns it off.
void slowCopyChunks(int milliseconds);
// While held, every volume query (free space, file system) and every folder
// listing of the POSIX backend waits, as on a disk that takes its time to
// answer, so a test can see which thread would wait for it.
void holdDiskQueries(bool held);
// How many of those wait at this moment (0 while not held).
int diskQueriesWaiting();
// How many folder listings the POSIX backend has opened since the start.
std::int64_t listingCount();
}  // namespace testing

}  // namespace platform
