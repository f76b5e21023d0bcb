// Files, the profile folder, volumes and the clock on Windows, through the
// wide API: paths arrive as UTF-8 and leave as UTF-16, long ones with the
// long-path prefix.
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/win32/handle.h"
#include "platform/win32/paths.h"
#include "platform/win32/text.h"

namespace platform {

const char kPathSeparator = '\\';

bool isSeparator(char c) { return c == '\\' || c == '/'; }

namespace {

using win32::Handle;
using win32::longPath;
using win32::narrow;
using win32::widen;

// How long a file that another handle holds is waited for, in short steps:
// readers hold the files for a moment only.
constexpr ULONGLONG kBusyWaitMs = 2000;
// Shorter for a journal line: the window's own thread journals, and a
// journal held for longer than a reader's moment is not worth its stall.
constexpr ULONGLONG kAppendBusyWaitMs = 200;

bool waitWhileBusy(ULONGLONG since, ULONGLONG limit = kBusyWaitMs) {
  if (GetTickCount64() - since >= limit) return false;
  Sleep(1);
  return true;
}

// Asking about a drive without a medium fails quietly instead of putting up
// the system's "insert a disk" box.
class QuietDriveErrors {
 public:
  QuietDriveErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
  ~QuietDriveErrors() { SetThreadErrorMode(previous_, nullptr); }
  QuietDriveErrors(const QuietDriveErrors&) = delete;
  QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

 private:
  DWORD previous_ = 0;
};

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Opens with `disposition`, waiting a moment while another program holds the
// file in a way that excludes us (used by the journal's appends).
HANDLE openShared(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  const ULONGLONG since = GetTickCount64();
  for (;;) {
    const HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
        !waitWhileBusy(since, kAppendBusyWaitMs)) {
      return file;
    }
  }
}

}  // namespace

PathInfo pathInfo(std::string_view path) {
  std::string part(path);
  while (part.size() > 1 && isSeparator(part.back())) part.pop_back();
  if (part.empty()) return {};
  if (part.size() == 2 && part[1] == ':') part.push_back('\\');  // a drive means its root

  QuietDriveErrors quiet;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(longPath(part).c_str(), GetFileExInfoStandard, &data)) return {};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {PathKind::folder, 0};
  return {PathKind::file, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
}

std::string profileFolder() {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROFILE, &list)) || list == nullptr) {
    return {};
  }
  wchar_t buffer[MAX_PATH + 1] = {};
  const BOOL found = SHGetPathFromIDListW(list, buffer);
  CoTaskMemFree(list);  // the shell's allocator
  if (!found || buffer[0] == L'\0') return {};
  std::string folder = narrow(buffer);
  if (folder.back() != '\\') folder.push_back('\\');
  return folder;
}

namespace {

HANDLE openToRead(std::string_view path, ReadMode mode) {
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ;
  switch (mode) {
    case ReadMode::readWriteShareRead:
      access |= GENERIC_WRITE;
      break;
    case ReadMode::readShareRead:
      break;
    case ReadMode::readShareAll:
      // Delete sharing too, so a save replacing the file is not held up.
      share |= FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      break;
  }
  return CreateFileW(longPath(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool readWholeFile(std::string_view path, std::string& bytes, ReadMode mode) {
  Handle file(openToRead(path, mode));
  if (!file.valid()) return false;

  std::string content;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    content.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) break;
    content.append(buffer, got);
  }
  bytes = std::move(content);
  return true;
}

bool readFilePieces(std::string_view path, ReadMode mode,
                    const std::function<bool(std::string_view)>& piece) {
  Handle file(openToRead(path, mode));
  if (!file.valid()) return false;
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return false;
    }
    if (got == 0 || !piece(std::string_view(buffer.data(), got))) return true;
  }
}

bool appendToFile(std::string_view path, std::string_view bytes, bool waitIfBusy) {
  const std::wstring target = longPath(path);
  // A read-only file stays as it is, also under Wine run as root.
  const DWORD existing = GetFileAttributesW(target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
    return false;
  }
  const DWORD access = GENERIC_READ | GENERIC_WRITE;
  // Asked first without creating, so that a file made here, and then not
  // written, can be removed again.
  bool created = false;
  HANDLE handle = waitIfBusy ? openShared(target, access, FILE_SHARE_READ, OPEN_EXISTING)
                             : CreateFileW(target.c_str(), access, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    handle = CreateFileW(target.c_str(), access, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    created = handle != INVALID_HANDLE_VALUE;
  }
  Handle file(handle);
  if (!file.valid()) return false;
  LARGE_INTEGER before{};
  if (!GetFileSizeEx(file.get(), &before)) return false;

  std::string lines;
  if (before.QuadPart > 0) {
    LARGE_INTEGER lastByte{};
    lastByte.QuadPart = before.QuadPart - 1;
    char last = 0;
    DWORD got = 0;
    if (!SetFilePointerEx(file.get(), lastByte, nullptr, FILE_BEGIN) ||
        !ReadFile(file.get(), &last, 1, &got, nullptr) || got != 1) {
      return false;
    }
    if (last != '\n' && last != '\r') lines = "\r\n";
  }
  lines += bytes;
  const bool written =
      SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN) && writeAll(file.get(), lines);
  if (written && file.close()) return true;
  if (file.valid()) {
    // Only our own bytes go; the lines that were there stay as they were.
    SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
    file.close();
  }
  if (created) DeleteFileW(target.c_str());
  return false;
}

bool createNewFile(std::string_view path, std::string_view bytes) {
  const std::wstring target = longPath(path);
  Handle file(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  const bool written = writeAll(file.get(), bytes);
  if (file.close() && written) return true;
  DeleteFileW(target.c_str());  // ours, and incomplete
  return false;
}

bool replaceFile(std::string_view path, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  if (path.empty()) return false;
  const std::wstring target = longPath(path);
  // A read-only file is the user's wish that it stay as it is. Windows
  // refuses to rename over it anyway; Wine run as root would not.
  const DWORD existing = GetFileAttributesW(target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }

  // A new file beside the target, named after it, the process and the call.
  std::wstring temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  Handle file(handle);
  if (!file.valid()) return false;
  // On disk before the rename, so a crash leaves the old file or the whole new one.
  const bool written = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
  if (!file.close() || !written) {
    DeleteFileW(temporary.c_str());
    return false;
  }

  // A reader that has the file open for a moment makes the rename fail; it
  // lets go within milliseconds.
  const ULONGLONG since = GetTickCount64();
  for (;;) {
    if (MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    const bool busy =
        (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) && !readOnly;
    if (!busy || !waitWhileBusy(since)) break;
  }
  DeleteFileW(temporary.c_str());
  return false;
}

bool deleteFile(std::string_view path) { return DeleteFileW(longPath(path).c_str()) != 0; }

DiskSpace diskSpace(std::string_view root, std::string_view /*path*/) {
  QuietDriveErrors quiet;
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER free{};
  if (!GetDiskFreeSpaceExW(widen(root).c_str(), &available, &total, &free)) return {};
  DiskSpace space;
  space.ok = true;
  space.availableToUser = available.QuadPart;
  space.total = total.QuadPart;
  space.totalFree = free.QuadPart;
  return space;
}

VolumeInfo volumeInformation(std::string_view root, std::string_view /*path*/) {
  QuietDriveErrors quiet;
  wchar_t label[255] = {};
  wchar_t fileSystem[255] = {};
  VolumeInfo info;
  if (!GetVolumeInformationW(widen(root).c_str(), label, 255, nullptr, nullptr, nullptr, fileSystem,
                             255)) {
    info.error = GetLastError();
    return info;
  }
  info.ok = true;
  info.fileSystem = narrow(fileSystem);
  return info;
}

LocalTime localTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace platform
