// Listings, folder creation and the whole-file copy over POSIX calls.
#include "platform/tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/threads.h"
#include "platform/tree_common.h"

namespace platform {
namespace {

// A path as a folder handle and a name inside it. The kernel refuses path
// arguments of PATH_MAX (4096) bytes or more, which a deep tree exceeds; such a
// path is reached piece by piece, each piece opened relative to the last.
class Place {
 public:
  explicit Place(std::string_view path) {
    constexpr std::size_t kLongestPiece = 3000;
    if (path.size() <= kLongestPiece) {
      name_ = path;
      return;
    }
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    const std::size_t lastSlash = path.rfind('/', end - 1);
    if (lastSlash == std::string_view::npos) {
      name_ = path;
      return;
    }
    std::size_t start = 0;
    while (start < lastSlash) {
      std::size_t cut = lastSlash;
      if (cut - start > kLongestPiece) {
        cut = path.rfind('/', start + kLongestPiece);
        if (cut == std::string_view::npos || cut <= start) return;  // a name too long
      }
      const std::string piece(path.substr(start, cut - start + 1));
      const int next = openat(folder_, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (folder_ >= 0) ::close(folder_);
      folder_ = next;
      if (next < 0) return;
      start = cut + 1;
    }
    name_ = path.substr(lastSlash + 1);
  }
  ~Place() {
    if (folder_ >= 0) ::close(folder_);
  }
  Place(const Place&) = delete;
  Place& operator=(const Place&) = delete;

  bool valid() const { return folder_ != -1 && !name_.empty(); }
  int folder() const { return folder_; }
  const char* name() const { return name_.c_str(); }

 private:
  int folder_ = AT_FDCWD;
  std::string name_;
};

int openPlace(std::string_view path, int flags, mode_t mode = 0) {
  const Place place(path);
  return place.valid() ? openat(place.folder(), place.name(), flags, mode) : -1;
}

bool statPlace(std::string_view path, struct stat& info, int flags) {
  const Place place(path);
  return place.valid() && fstatat(place.folder(), place.name(), &info, flags) == 0;
}

TreeResult failure(int error) { return {false, static_cast<std::uint32_t>(error)}; }

template <typename Outcome>
TreeOutcome<Outcome> outcome(Outcome value, int error = 0) {
  return {value, static_cast<std::uint32_t>(error)};
}

bool isDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// '?' stands for one character, so it skips a whole UTF-8 sequence.
std::size_t characterLength(std::string_view text, std::size_t at) {
  std::size_t length = 1;
  while (at + length < text.size() &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
    ++length;
  }
  return length;
}

bool wildcardMatch(std::string_view name, std::string_view pattern) {
  std::size_t n = 0;
  std::size_t p = 0;
  std::size_t starPattern = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += characterLength(name, n);
    } else if (p < pattern.size() && foldCase(pattern[p]) == foldCase(name[n])) {
      ++p;
      ++n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool matchesAll(std::string_view pattern) {
  return pattern.empty() || pattern == "*" || pattern == "*.*";
}

// A trailing ".*" also matches a name without any dot, as on Windows.
bool patternMatches(std::string_view name, std::string_view pattern) {
  if (wildcardMatch(name, pattern)) return true;
  return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
         wildcardMatch(name, pattern.substr(0, pattern.size() - 2));
}

std::uint32_t attributesOf(const char* name, const struct stat& info) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= kAttributeFolder;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  if (name[0] == '.') attributes |= kAttributeHidden;
  return attributes == 0 ? kAttributeNormal : attributes;
}

// A folder stream closed by its owner.
struct CloseFolderStream {
  void operator()(DIR* dir) const { closedir(dir); }
};
using FolderStream = std::unique_ptr<DIR, CloseFolderStream>;

}  // namespace

struct FolderListing::State {
  FolderStream dir;
  std::string pattern;
  bool everyName = true;
  ListingDetail detail = ListingDetail::sizes;
  bool haveAhead = false;  // an entry read while opening, returned first
  TreeEntry ahead;
};

namespace {

void describe(FolderListing::State& state, const dirent& item, TreeEntry& entry) {
  entry.name = item.d_name;
  entry.folder = false;
  entry.link = false;
  entry.size = 0;
  entry.attributes = item.d_name[0] == '.' ? kAttributeHidden : kAttributeNormal;
  const int folderFd = dirfd(state.dir.get());
  unsigned char type = item.d_type;
  struct stat info {};
  if (type == DT_UNKNOWN) {
    if (fstatat(folderFd, item.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return;
    type = S_ISLNK(info.st_mode) ? DT_LNK : S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
    if (type != DT_LNK) {
      entry.folder = type == DT_DIR;
      entry.size = entry.folder ? 0 : static_cast<std::uint64_t>(info.st_size);
      entry.attributes = attributesOf(item.d_name, info);
      return;
    }
  }
  if (type == DT_DIR) {
    entry.folder = true;
    entry.attributes = kAttributeFolder | (item.d_name[0] == '.' ? kAttributeHidden : 0);
    return;
  }
  if (type == DT_LNK) {
    // Links are looked through for their kind and size; a dangling one stays a
    // file of size 0.
    entry.link = true;
    if (fstatat(folderFd, item.d_name, &info, 0) != 0) return;
    entry.folder = S_ISDIR(info.st_mode);
    entry.size = entry.folder ? 0 : static_cast<std::uint64_t>(info.st_size);
    entry.attributes = attributesOf(item.d_name, info);
    return;
  }
  if (state.detail == ListingDetail::sizes &&
      fstatat(folderFd, item.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
    entry.size = static_cast<std::uint64_t>(info.st_size);
    entry.attributes = attributesOf(item.d_name, info);
  }
}

}  // namespace

// The folders of the branch a walk is in, deepest last, each held open (as a
// path-only descriptor) under its path with a trailing '/'.
struct ListingBranch::State {
  static constexpr std::size_t kMostHeld = 64;  // well inside the descriptor limit
  std::vector<std::pair<std::string, int>> held;

  ~State() {
    for (const auto& [path, fd] : held) ::close(fd);
  }

  int openFolder(std::string_view folder) {
    std::string key(folder);
    if (key.back() != '/') key += '/';
    while (!held.empty() && !key.starts_with(held.back().first)) {
      ::close(held.back().second);
      held.pop_back();
    }
    int fd = -1;
    constexpr std::size_t kLongestRelative = 3000;
    if (!held.empty() && key.size() - held.back().first.size() <= kLongestRelative) {
      const std::string relative = key.substr(held.back().first.size());
      fd = openat(held.back().second, relative.empty() ? "." : relative.c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
      fd = openPlace(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) return fd;
    const int keep = openat(fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (keep >= 0) {
      if (held.size() == kMostHeld) {
        ::close(held.front().second);
        held.erase(held.begin());
      }
      held.emplace_back(std::move(key), keep);
    }
    return fd;
  }
};

namespace {
thread_local ListingBranch::State* activeBranch = nullptr;
}  // namespace

ListingBranch::ListingBranch() : state_(std::make_unique<State>()), previous_(activeBranch) {
  activeBranch = state_.get();
}

ListingBranch::~ListingBranch() { activeBranch = previous_; }

FolderListing::FolderListing() = default;
FolderListing::~FolderListing() = default;

void FolderListing::close() { state_.reset(); }

TreeResult FolderListing::open(std::string_view folder, std::string_view pattern,
                               ListingDetail detail) {
  close();
  tree_common::beforeListing();
  if (folder.empty()) return failure(ENOENT);
  const int fd = activeBranch ? activeBranch->openFolder(folder)
                              : openPlace(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return failure(errno);
  FolderStream dir(fdopendir(fd));
  if (dir == nullptr) {
    const int error = errno;
    ::close(fd);
    return failure(error);
  }
  state_ = std::make_unique<State>();
  state_->dir = std::move(dir);
  state_->pattern = pattern;
  state_->everyName = matchesAll(pattern);
  state_->detail = detail;
  if (state_->everyName) return {true, 0};
  // With a narrower pattern the listing only opens when something matches,
  // "." and ".." included, as a wildcard listing does on Windows.
  while (const dirent* item = readdir(state_->dir.get())) {
    if (isDotEntry(item->d_name)) {
      if (patternMatches(item->d_name, pattern)) return {true, 0};
      continue;
    }
    if (patternMatches(item->d_name, pattern)) {
      describe(*state_, *item, state_->ahead);
      state_->haveAhead = true;
      return {true, 0};
    }
  }
  close();
  return failure(ENOENT);  // nothing matches
}

bool FolderListing::next(TreeEntry& entry) {
  if (state_ == nullptr) return false;
  if (state_->haveAhead) {
    state_->haveAhead = false;
    entry = std::move(state_->ahead);
    return true;
  }
  while (const dirent* item = readdir(state_->dir.get())) {
    if (isDotEntry(item->d_name)) continue;
    if (!state_->everyName && !patternMatches(item->d_name, state_->pattern)) continue;
    describe(*state_, *item, entry);
    return true;
  }
  return false;
}

TreeOutcome<FolderCreation> createFolder(std::string_view path) {
  errno = 0;
  const Place place(path);
  if (!place.valid()) return outcome(FolderCreation::failed, errno != 0 ? errno : ENOENT);
  if (mkdirat(place.folder(), place.name(), 0777) == 0) return outcome(FolderCreation::created);
  if (errno != EEXIST) return outcome(FolderCreation::failed, errno);
  struct stat info {};
  return fstatat(place.folder(), place.name(), &info, 0) == 0 && S_ISDIR(info.st_mode)
             ? outcome(FolderCreation::existed)
             : outcome(FolderCreation::failed, EEXIST);
}

void makeNormal(std::string_view path) {
  const Place place(path);
  struct stat info {};
  if (!place.valid() || fstatat(place.folder(), place.name(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode)) {
    return;
  }
  if ((info.st_mode & S_IWUSR) == 0) {
    fchmodat(place.folder(), place.name(), (info.st_mode & 07777) | S_IWUSR, 0);
  }
}

namespace {

std::string temporaryName() {
  static const auto process = static_cast<std::uint64_t>(getpid());
  return tree_common::temporaryName(
      process,
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
}

bool writeAllAt(int fd, const char* data, std::size_t size, off_t at) {
  while (size > 0) {
    const ssize_t written = pwrite(fd, data, size, at);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    at += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Where the temporary file lives, to tell between chunks that it is still
// there: a target folder removed, renamed or unmounted during the copy of a
// large file would otherwise take the rest of the file, written for nothing
// into a file nobody can reach.
struct TargetWatch {
  std::string folder;  // the target's folder as the copy names it
  dev_t device = 0;
  ino_t inode = 0;
  bool known = false;
};

bool stillReachable(const TargetWatch& watch, int out) {
  struct stat info {};
  if (fstat(out, &info) != 0 || info.st_nlink == 0) return false;
  return statPlace(watch.folder, info, 0) && info.st_dev == watch.device &&
         info.st_ino == watch.inode;
}

struct Pump {
  bool inKernel = true;
  std::vector<char> buffer;
  const TargetWatch* watch = nullptr;
};

// Moves the bytes [from, to) in chunks, in the kernel when it can
// (copy_file_range), with a checkpoint before each chunk so a pause or a stop
// takes effect at once. A source that ends early stops the range; the check of
// its size after the copy tells that apart.
FileCopy pumpRange(Pump& pump, int in, int out, off_t from, off_t to) {
  while (from < to) {
    if (!threadCheckpoint()) return FileCopy::stopped;
    if (pump.watch != nullptr && pump.watch->known && !stillReachable(*pump.watch, out)) {
      errno = ENOENT;  // the temporary file or its folder went away
      return FileCopy::failed;
    }
    const auto want =
        static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(kCopyChunkBytes), to - from));
    ssize_t moved = 0;
    if (pump.inKernel) {
      off_t inAt = from;
      off_t outAt = from;
      moved = copy_file_range(in, &inAt, out, &outAt, want, 0);
      if (moved < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                        errno == EOPNOTSUPP || errno == EPERM || errno == ETXTBSY)) {
        pump.inKernel = false;
        continue;
      }
    } else {
      if (pump.buffer.empty()) pump.buffer.resize(kCopyChunkBytes);
      moved = pread(in, pump.buffer.data(), want, from);
      if (moved > 0 &&
          !writeAllAt(out, pump.buffer.data(), static_cast<std::size_t>(moved), from)) {
        return FileCopy::failed;
      }
    }
    if (moved == 0) return FileCopy::copied;
    if (moved < 0) {
      if (errno == EINTR) continue;
      return FileCopy::failed;
    }
    from += moved;
    tree_common::afterChunk(static_cast<std::uint64_t>(moved));
  }
  return FileCopy::copied;
}

// Copies `size` bytes. A file with holes (fewer blocks than its length needs)
// has only its data copied, so the holes stay holes in the copy; the length
// is set at the end, which also keeps a hole at the end of the file.
FileCopy pumpContents(int in, int out, const struct stat& info, const TargetWatch& watch) {
  Pump pump;
  pump.watch = &watch;
  const off_t size = info.st_size;
  const bool sparse = info.st_blocks * 512 < size;
  if (!sparse) return pumpRange(pump, in, out, 0, size);
  off_t at = 0;
  while (at < size) {
    const off_t data = lseek(in, at, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;                  // only a hole from here on
      return pumpRange(pump, in, out, at, size);  // no hole queries here: copy it all
    }
    off_t hole = lseek(in, data, SEEK_HOLE);
    if (hole < 0 || hole > size) hole = size;
    const FileCopy outcome = pumpRange(pump, in, out, data, hole);
    if (outcome != FileCopy::copied) return outcome;
    at = hole;
  }
  return ftruncate(out, size) == 0 ? FileCopy::copied : FileCopy::failed;
}

bool sameContentsStamp(const struct stat& before, const struct stat& after) {
  return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
         before.st_mtim.tv_nsec == after.st_mtim.tv_nsec;
}

}  // namespace

namespace {

// Checks the source just opened as `in` (closed here when it cannot be
// copied) and reads its size and times; 0, or the error number.
int prepareSource(int in, struct stat& info) {
  if (fstat(in, &info) != 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(in);
    return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  }
  if (static_cast<std::uint64_t>(info.st_size) > kCopyChunkBytes) {
    posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  return 0;
}

// The copy of the open source `in` (closed here) to `name` inside the folder
// held as `folderFd`, named `folder` (with its trailing '/') for the watch of
// a large file. The temporary file is made, renamed and, on failure, removed
// in that very folder, even when it was moved meanwhile.
TreeOutcome<FileCopy> copyIntoFolder(int in, const struct stat& info, int folderFd,
                                     const std::string& folder, const char* name) {
  // Created with the source's permissions (less the umask, as any new file):
  // a read-only source gives a read-only copy, yet the open handle may write.
  const mode_t mode = info.st_mode & 0777;
  std::string temporary;
  int out = -1;
  int error = 0;
  for (int attempt = 0; attempt < 16 && out < 0; ++attempt) {
    temporary = temporaryName();
    out = openat(folderFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) error = errno;
    if (out < 0 && errno != EEXIST) break;
  }
  if (out < 0) {
    ::close(in);
    return outcome(FileCopy::failed, error);
  }
  error = 0;

  // A file of one chunk is over before anything could be watched.
  TargetWatch watch;
  watch.folder = folder;
  struct stat folderInfo {};
  if (static_cast<std::uint64_t>(info.st_size) > kCopyChunkBytes &&
      fstat(folderFd, &folderInfo) == 0) {
    watch.device = folderInfo.st_dev;
    watch.inode = folderInfo.st_ino;
    watch.known = true;
  }
  FileCopy result = pumpContents(in, out, info, watch);
  if (result == FileCopy::failed) error = errno;
  // A file another program wrote meanwhile may have been read half old, half
  // new: such a copy is no copy of the file.
  struct stat after {};
  if (result == FileCopy::copied && fstat(in, &after) != 0) {
    result = FileCopy::failed;
    error = errno;
  } else if (result == FileCopy::copied && !sameContentsStamp(info, after)) {
    result = FileCopy::failed;  // no error of the system's
  }
  ::close(in);
  if (result == FileCopy::copied) {
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    futimens(out, times);
  }
  // A failed close can be the first sign of a write that did not reach the disk.
  if (::close(out) != 0 && result == FileCopy::copied) {
    result = FileCopy::failed;
    error = errno;
  }
  if (result == FileCopy::copied && renameat(folderFd, temporary.c_str(), folderFd, name) != 0) {
    result = FileCopy::failed;
    error = errno;
  }
  if (result != FileCopy::copied) unlinkat(folderFd, temporary.c_str(), 0);
  return outcome(result, result == FileCopy::failed ? error : 0);
}

}  // namespace

TreeOutcome<FileCopy> copyWholeFile(std::string_view source, std::string_view target,
                                    [[maybe_unused]] bool replaceProtected) {
  // A rename replaces a file whatever its permissions: nothing to reset here.
  if (source.empty() || target.empty()) return outcome(FileCopy::failed, ENOENT);
  // O_NONBLOCK keeps a FIFO from blocking the open; only regular files go on.
  const int in = openPlace(source, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (in < 0) return outcome(FileCopy::failed, errno);
  struct stat info {};
  if (const int error = prepareSource(in, info); error != 0) {
    return outcome(FileCopy::failed, error);
  }

  // The temporary file goes into the target's own folder, so the final rename
  // stays within one file system and replaces the target in one step.
  const std::size_t slash = target.rfind('/');
  const std::string folder(slash == std::string_view::npos ? "." : target.substr(0, slash + 1));
  const std::string name(slash == std::string_view::npos ? target : target.substr(slash + 1));
  errno = 0;
  const int folderFd = name.empty() ? -1 : openPlace(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    const int error = errno != 0 ? errno : EISDIR;
    ::close(in);
    return outcome(FileCopy::failed, error);
  }
  const TreeOutcome<FileCopy> result = copyIntoFolder(in, info, folderFd, folder, name.c_str());
  ::close(folderFd);
  return result;
}

// A target folder held open as a path-only descriptor, with what it was when
// it was opened, to tell when its path leads elsewhere.
struct TargetFolder::State {
  int fd = -1;
  std::string path;  // ending with '/'
  dev_t device = 0;
  ino_t inode = 0;
  std::chrono::steady_clock::time_point looked;
  bool gone = false;

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

TargetFolder::TargetFolder() = default;
TargetFolder::~TargetFolder() = default;

void TargetFolder::close() { state_.reset(); }

TreeOutcome<FolderCreation> TargetFolder::create(std::string_view path) {
  close();
  const TreeOutcome<FolderCreation> creation = createFolder(path);
  if (creation == FolderCreation::failed) return creation;
  state_ = std::make_unique<State>();
  state_->path = path;
  if (state_->path.back() != '/') state_->path += '/';
  state_->fd = openPlace(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat info {};
  if (state_->fd >= 0 && fstat(state_->fd, &info) == 0) {
    state_->device = info.st_dev;
    state_->inode = info.st_ino;
  } else if (state_->fd >= 0) {
    ::close(state_->fd);
    state_->fd = -1;
  }
  state_->looked = std::chrono::steady_clock::now();
  return creation;
}

namespace {

// False once the folder's path no longer leads to the folder held open;
// looked at by path at most every quarter of a second.
bool stillAtItsPath(TargetFolder::State& folder) {
  if (folder.gone) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now - folder.looked < std::chrono::milliseconds(250)) return true;
  folder.looked = now;
  struct stat info {};
  if (!statPlace(folder.path, info, 0) || info.st_dev != folder.device ||
      info.st_ino != folder.inode) {
    folder.gone = true;
  }
  return !folder.gone;
}

}  // namespace

TreeOutcome<FileCopy> copyWholeFile(const FolderListing& sourceFolder, std::string_view sourceName,
                                    TargetFolder& targetFolder, std::string_view targetName,
                                    [[maybe_unused]] bool replaceProtected) {
  const FolderListing::State* listing = sourceFolder.state();
  TargetFolder::State* target = targetFolder.state();
  if (listing == nullptr || target == nullptr || sourceName.empty() || targetName.empty()) {
    return outcome(FileCopy::failed, ENOENT);
  }
  if (target->fd >= 0 && !stillAtItsPath(*target)) return outcome(FileCopy::failed, ENOENT);
  const std::string source(sourceName);
  const int in = openat(dirfd(listing->dir.get()), source.c_str(),
                        O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (in < 0) return outcome(FileCopy::failed, errno);
  struct stat info {};
  if (const int error = prepareSource(in, info); error != 0) {
    return outcome(FileCopy::failed, error);
  }
  const std::string name(targetName);
  if (target->fd >= 0) return copyIntoFolder(in, info, target->fd, target->path, name.c_str());
  // The folder made or found could not be held open: by its path, as ever.
  errno = 0;
  const int folderFd = openPlace(target->path, O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    const int error = errno != 0 ? errno : ENOENT;
    ::close(in);
    return outcome(FileCopy::failed, error);
  }
  const TreeOutcome<FileCopy> result =
      copyIntoFolder(in, info, folderFd, target->path, name.c_str());
  ::close(folderFd);
  return result;
}

int removeLeftoverCopies(std::string_view folder, std::string_view sourceFolder) {
  const int fd = openPlace(folder, O_RDONLY | O_CLOEXEC | O_DIRECTORY);
  if (fd < 0) return 0;
  const FolderStream dir(fdopendir(fd));
  if (dir == nullptr) {
    ::close(fd);
    return 0;
  }
  std::string sourceEntry(sourceFolder);
  if (!sourceEntry.empty() && sourceEntry.back() != '/') sourceEntry += '/';
  const std::size_t sourceLength = sourceEntry.size();
  int removed = 0;
  while (const dirent* item = readdir(dir.get())) {
    if (!isCopyTemporaryName(item->d_name)) continue;
    struct stat info {};
    if (sourceLength > 0) {
      sourceEntry.resize(sourceLength);
      sourceEntry += item->d_name;
      if (statPlace(sourceEntry, info, AT_SYMLINK_NOFOLLOW)) continue;  // a source file's copy
    }
    if (fstatat(fd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        unlinkat(fd, item->d_name, 0) == 0) {
      ++removed;
    }
  }
  return removed;
}

namespace {

PathIdentity identityOf(const struct stat& info) {
  PathIdentity identity;
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.file = static_cast<std::uint64_t>(info.st_ino);
  return identity;
}

}  // namespace

bool FolderListing::identity(PathIdentity& identity) const {
  struct stat info {};
  if (state_ == nullptr || fstat(dirfd(state_->dir.get()), &info) != 0) return false;
  identity = identityOf(info);
  return true;
}

bool pathIdentity(std::string_view path, PathIdentity& identity) {
  struct stat info {};
  if (path.empty() || !statPlace(path, info, 0)) return false;
  identity = identityOf(info);
  return true;
}

bool folderIdentity(std::string_view path, PathIdentity& identity) {
  struct stat info {};
  if (path.empty() || !statPlace(path, info, 0) || !S_ISDIR(info.st_mode)) return false;
  identity = identityOf(info);
  return true;
}

std::string finalFolderPath(std::string_view path) {
  if (path.empty() || path.size() >= PATH_MAX) return {};
  char* resolved = realpath(std::string(path).c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result(resolved);
  std::free(resolved);
  return result;
}

}  // namespace platform
