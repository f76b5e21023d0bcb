#pragma once
// Files, the profile folder, volume queries and the clock. Paths are UTF-8;
// the Win32 backend converts them to UTF-16 and adds the long-path prefix
// where needed.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// '\\' on Windows, '/' on POSIX.
extern const char kPathSeparator;

bool isSeparator(char c);  // '\\' or '/' on Windows, '/' on POSIX

enum class PathKind { missing, folder, file };
struct PathInfo {
  PathKind kind = PathKind::missing;
  std::uint64_t size = 0;  // files only
};
// Trailing separators are dropped before the lookup; an empty path is missing;
// a bare drive ("E:" or "E:\") is a folder when the drive exists.
PathInfo pathInfo(std::string_view path);

// The user's profile folder ending with a separator, or "" when unknown.
std::string profileFolder();

// Whole-file operations used by the journal and the settings file.

// How a file is opened to be read, from the strictest to the most lenient. On
// Windows they differ in what other handles may do meanwhile (the first also
// fails on a read-only file); POSIX has no sharing modes, and there only the
// first asks for write access.
enum class ReadMode {
  readWriteShareRead,  // read and write access; other handles may only read
  readShareRead,       // read access; other handles may only read
  readShareAll,        // read access; other handles may read, write and replace
};
// The whole content of a file; false for a missing file, a folder, or a file
// that cannot be opened in `mode`.
bool readWholeFile(std::string_view path, std::string& bytes,
                   ReadMode mode = ReadMode::readShareAll);
// Reads a file from its start a piece at a time, handing each piece to
// `piece`, until `piece` returns false or the file ends, so a reader that
// needs only its first lines never holds the whole of a huge file. False as
// readWholeFile, or when a read fails.
bool readFilePieces(std::string_view path, ReadMode mode,
                    const std::function<bool(std::string_view)>& piece);
// Opens (creating if missing) with read sharing, writes `bytes` at the end as
// lines of their own, closes. A file whose last byte is not a line end (CR or
// LF) first gets CR LF, so the new lines are never glued onto a last line left
// without its end. A write that fails partway is taken back: the file is cut
// back to its earlier length (and a file this call created is removed), so no
// half line is left for the next write to follow. Another handle that keeps
// the file from being opened is waited for a moment (200 ms), unless `waitIfBusy`
// is false (on Windows; POSIX has no such handles). A read-only file is
// left as it is. False when nothing was written.
bool appendToFile(std::string_view path, std::string_view bytes, bool waitIfBusy = true);
// Creates a new file holding `bytes`; fails when anything of that name exists.
bool createNewFile(std::string_view path, std::string_view bytes);
// Writes `bytes` beside `path` and renames it over `path`, so a reader sees
// the old file or the new one, never a partial one. A read-only file is not
// replaced (false), whoever runs the program.
bool replaceFile(std::string_view path, std::string_view bytes);
bool deleteFile(std::string_view path);

struct DiskSpace {
  bool ok = false;
  std::uint64_t availableToUser = 0;
  std::uint64_t total = 0;
  std::uint64_t totalFree = 0;
};
// The volume that holds `path`. The Win32 backend asks about `root` (the
// driveRoot text the program shows); the POSIX backend, where every root is
// "/", asks about the mount that holds the deepest existing part of `path`.
DiskSpace diskSpace(std::string_view root, std::string_view path);

struct VolumeInfo {
  bool ok = false;
  std::string fileSystem;
  unsigned long error = 0;  // the system's error code on failure (21: not ready)
};
VolumeInfo volumeInformation(std::string_view root, std::string_view path);

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
LocalTime localTime();

}  // namespace platform
