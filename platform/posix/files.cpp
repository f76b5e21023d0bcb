// Files, the profile folder, volumes and the clock on POSIX systems.
#include "platform/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/lasting.h"
#include "platform/tree.h"
#include "platform/tree_common.h"

namespace platform {

const char kPathSeparator = '/';

bool isSeparator(char c) { return c == '/'; }

namespace {

// Error codes as the Windows build reports them, so that a volume that cannot
// be asked reads the same in both builds.
constexpr unsigned long kErrorGenFailure = 31;
constexpr unsigned long kErrorPathNotFound = 3;
constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorNotReady = 21;
constexpr unsigned long kErrorNotSupported = 50;
constexpr unsigned long kErrorFilenameTooLong = 206;

unsigned long windowsError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
#ifdef ENOMEDIUM
    case ENOMEDIUM:
      return kErrorNotReady;
#endif
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    default:
      return kErrorGenFailure;
  }
}

// A descriptor that closes itself.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now, reporting whether the last writes reached the file.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

int openFile(const std::string& path, int flags, mode_t mode = 0666) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The deepest part of `path` that exists: the path itself, or the nearest
// folder above it. A relative path never climbs past its first name.
bool existingPart(std::string_view path, std::string& existing, unsigned long& error) {
  std::string part(path);
  if (part.empty()) {
    error = kErrorPathNotFound;
    return false;
  }
  for (;;) {
    struct stat status {};
    if (::stat(part.c_str(), &status) == 0) {
      existing = part;
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) {
      error = windowsError(errno);
      return false;
    }
    while (part.size() > 1 && part.back() == '/') part.pop_back();
    const std::size_t slash = part.find_last_of('/');
    if (part == "/" || slash == std::string::npos) {
      error = kErrorPathNotFound;
      return false;
    }
    part.resize(slash == 0 ? 1 : slash);
  }
}

// Mount points in the mount table write a blank, a tab, a new line and a
// backslash as three octal digits after a backslash.
std::string unescapeMountField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && field.size() - i > 3) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out.push_back(
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

bool isUnder(std::string_view path, std::string_view mountPoint) {
  if (mountPoint == "/") return true;
  if (!path.starts_with(mountPoint)) return false;
  return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

}  // namespace

PathInfo pathInfo(std::string_view path) {
  std::string part(path);
  while (part.size() > 1 && part.back() == '/') part.pop_back();
  if (part.empty()) return {};
  struct stat status {};
  if (::stat(part.c_str(), &status) != 0) return {};
  if (S_ISDIR(status.st_mode)) return {PathKind::folder, 0};
  return {PathKind::file, static_cast<std::uint64_t>(status.st_size)};
}

std::string profileFolder() {
  std::string folder;
  if (const char* home = std::getenv("HOME"); home != nullptr) folder = home;
  if (folder.empty()) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
      folder = found->pw_dir;
    }
  }
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  return folder;
}

bool readWholeFile(std::string_view path, std::string& bytes, ReadMode mode) {
  const int access = mode == ReadMode::readWriteShareRead ? O_RDWR : O_RDONLY;
  Descriptor file(openFile(std::string(path), access));
  if (!file.valid()) return false;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) return false;

  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  bytes = std::move(content);
  return true;
}

bool readFilePieces(std::string_view path, ReadMode mode,
                    const std::function<bool(std::string_view)>& piece) {
  const int access = mode == ReadMode::readWriteShareRead ? O_RDWR : O_RDONLY;
  Descriptor file(openFile(std::string(path), access));
  if (!file.valid()) return false;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
  std::vector<char> buffer(65536);
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0 || !piece(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
      return true;
    }
  }
}

bool appendToFile(std::string_view path, std::string_view bytes, bool /*waitIfBusy*/) {
  const std::string target(path);
  bool created = false;
  int fd = openFile(target, O_RDWR | O_APPEND);
  if (fd < 0 && errno == ENOENT) {
    fd = openFile(target, O_RDWR | O_APPEND | O_CREAT | O_EXCL);
    created = fd >= 0;
  }
  Descriptor file(fd);
  if (!file.valid()) return false;
  struct stat status {};
  // A read-only journal stays as it is, even for root, whose writes the
  // permission bits would not stop.
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      (status.st_mode & S_IWUSR) == 0) {
    return false;
  }
  const off_t before = status.st_size;

  std::string lines;
  if (before > 0) {
    char last = 0;
    if (::pread(file.get(), &last, 1, before - 1) != 1) return false;
    if (last != '\n' && last != '\r') lines = "\r\n";
  }
  lines += bytes;
  const bool written = writeAll(file.get(), lines);
  if (written && file.close()) return true;
  if (created) {
    ::unlink(target.c_str());
  } else if (file.valid()) {
    // Only our own bytes go; the lines that were there stay as they were.
    while (::ftruncate(file.get(), before) != 0 && errno == EINTR) {
    }
  }
  return false;
}

bool createNewFile(std::string_view path, std::string_view bytes) {
  const std::string target(path);
  Descriptor file(openFile(target, O_WRONLY | O_CREAT | O_EXCL));
  if (!file.valid()) return false;
  const bool written = writeAll(file.get(), bytes);
  if (file.close() && written) return true;
  ::unlink(target.c_str());  // ours, and incomplete
  return false;
}

bool replaceFile(std::string_view path, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  const std::string target(path);
  if (target.empty()) return false;
  // A read-only file (no owner write permission, as the Windows attribute
  // reads here) is the user's wish that it stay as it is; root's rename
  // would not stop at it.
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
      (existing.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return false;
  }

  // A new file beside the target, named after it, process and call.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = openFile(temporary, O_WRONLY | O_CREAT | O_EXCL);
    if (fd < 0 && errno != EEXIST) return false;
  }
  Descriptor file(fd);
  if (!file.valid()) return false;

  // The new file keeps the permissions the user gave the old one.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(file.get(), old.st_mode & 07777);
  }
  // On disk before the rename, so a crash leaves the old file or the whole new one.
  const bool written = writeAll(file.get(), bytes) && ::fsync(file.get()) == 0;
  if (file.close() && written && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

bool deleteFile(std::string_view path) { return ::unlink(std::string(path).c_str()) == 0; }

// The disk gate of the tests (testing::holdDiskQueries) and the count of the
// listings opened: here, beside the volume queries it holds, so that every
// program that asks the volume has it.
namespace {

struct DiskGate {
  std::mutex mutex;
  std::condition_variable changed;
  bool held = false;
  int waiting = 0;
};
std::atomic<std::int64_t> listingsOpened{0};

// Workers still held at the gate as the process ends may reach it.
DiskGate& diskGate() { return lasting<DiskGate>(); }

}  // namespace

namespace tree_common {

void passDiskGate() {
  DiskGate& gate = diskGate();
  std::unique_lock lock(gate.mutex);
  ++gate.waiting;
  gate.changed.wait(lock, [&] { return !gate.held; });
  --gate.waiting;
}

void beforeListing() {
  listingsOpened.fetch_add(1, std::memory_order_relaxed);
  passDiskGate();
}

}  // namespace tree_common

namespace testing {

std::int64_t listingCount() { return listingsOpened.load(); }

int diskQueriesWaiting() {
  DiskGate& gate = diskGate();
  std::lock_guard lock(gate.mutex);
  return gate.held ? gate.waiting : 0;
}

void holdDiskQueries(bool held) {
  DiskGate& gate = diskGate();
  {
    std::lock_guard lock(gate.mutex);
    gate.held = held;
  }
  gate.changed.notify_all();
}

}  // namespace testing

DiskSpace diskSpace(std::string_view /*root*/, std::string_view path) {
  tree_common::passDiskGate();
  std::string existing;
  unsigned long error = 0;
  if (!existingPart(path, existing, error)) return {};
  struct statvfs volume {};
  if (::statvfs(existing.c_str(), &volume) != 0) return {};
  DiskSpace space;
  space.ok = true;
  const std::uint64_t unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
  space.availableToUser = static_cast<std::uint64_t>(volume.f_bavail) * unit;
  space.total = static_cast<std::uint64_t>(volume.f_blocks) * unit;
  space.totalFree = static_cast<std::uint64_t>(volume.f_bfree) * unit;
  return space;
}

VolumeInfo volumeInformation(std::string_view /*root*/, std::string_view path) {
  tree_common::passDiskGate();
  VolumeInfo info;
  std::string existing;
  if (!existingPart(path, existing, info.error)) return info;
  char* resolved = ::realpath(existing.c_str(), nullptr);
  if (resolved == nullptr) {
    info.error = windowsError(errno);
    return info;
  }
  const std::string canonical(resolved);
  std::free(resolved);

  // The type of the mount with the longest mount point holding the path; of
  // two mounts on one point the later, which hides the earlier.
  std::ifstream table("/proc/self/mountinfo");
  if (!table) {
    info.error = kErrorNotSupported;
    return info;
  }
  std::size_t bestLength = 0;
  bool found = false;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (words.size() < 5) continue;
    std::size_t dash = 5;
    while (dash < words.size() && words[dash] != "-") ++dash;
    if (dash + 1 >= words.size()) continue;

    const std::string mountPoint = unescapeMountField(words[4]);
    if (!isUnder(canonical, mountPoint) || mountPoint.size() < bestLength) continue;
    bestLength = mountPoint.size();
    info.fileSystem = words[dash + 1];
    found = true;
  }
  if (!found) {
    info.error = kErrorNotSupported;
    return info;
  }
  info.ok = true;
  return info;
}

LocalTime localTime() {
  const std::time_t now = std::time(nullptr);
  std::tm fields{};
  ::localtime_r(&now, &fields);
  return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
          fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

}  // namespace platform
