// Listings, folder creation and the whole-file copy over the wide Win32 API.
// Every path goes to the system in its long form (\\?\C:\... or
// \\?\UNC\server\share\...), so no path is cut at 260 characters.
#include "platform/tree.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/threads.h"
#include "platform/win32/paths.h"
#include "platform/win32/text.h"

namespace platform {
namespace {

using win32::longPath;
using win32::narrow;
using win32::widen;

std::atomic<int> chunkDelayMs{0};

bool isDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

std::string temporaryName() {
  static std::atomic<std::uint64_t> counter{0};
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const std::uint64_t value = (static_cast<std::uint64_t>(GetCurrentProcessId()) << 40) ^
                              static_cast<std::uint64_t>(now.QuadPart) ^
                              (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  char digits[kCopyTemporaryDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
  std::string name(kCopyTemporaryPrefix);
  name += digits;
  name += kCopyTemporarySuffix;
  return name;
}

void deleteTemporary(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

HANDLE findFirst(const std::wstring& specification, WIN32_FIND_DATAW& data) {
  HANDLE find = FindFirstFileExW(specification.c_str(), FindExInfoBasic, &data,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    find = FindFirstFileExW(specification.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                            nullptr, 0);
  }
  return find;
}

}  // namespace

struct FolderListing::State {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool haveData = false;  // the entry FindFirstFileExW gave, not returned yet
  std::wstring folder;    // long form, ending with a backslash
};

FolderListing::~FolderListing() { close(); }

void FolderListing::close() {
  if (state_ == nullptr) return;
  if (state_->find != INVALID_HANDLE_VALUE) FindClose(state_->find);
  delete state_;
  state_ = nullptr;
}

bool FolderListing::open(std::string_view folder, std::string_view pattern,
                         [[maybe_unused]] ListingDetail detail) {
  close();
  if (folder.empty()) return false;
  auto* state = new State;
  state->folder = longPath(folder);
  if (state->folder.back() != L'\\') state->folder += L'\\';
  state->find = findFirst(state->folder + widen(pattern.empty() ? "*.*" : pattern), state->data);
  if (state->find == INVALID_HANDLE_VALUE) {
    delete state;
    return false;
  }
  state->haveData = true;
  state_ = state;
  return true;
}

bool FolderListing::next(TreeEntry& entry) {
  if (state_ == nullptr) return false;
  for (;;) {
    if (state_->haveData) {
      state_->haveData = false;
    } else if (!FindNextFileW(state_->find, &state_->data)) {
      return false;
    }
    const WIN32_FIND_DATAW& data = state_->data;
    if (isDotEntry(data.cFileName)) continue;
    entry.name = narrow(data.cFileName);
    entry.attributes = data.dwFileAttributes;
    entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Only symbolic links and junctions (mount points) are links; other
    // reparse points (cloud placeholders, deduplicated files) are ordinary.
    entry.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                 (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                  data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
    entry.size = entry.folder
                     ? 0
                     : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (entry.link && !entry.folder) {
      // The listing gives the link's own size (0); the copy carries the file
      // it points to, so that is the size that counts.
      entry.size = 0;
      const HANDLE file =
          CreateFileW((state_->folder + data.cFileName).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file, &size)) entry.size = static_cast<std::uint64_t>(size.QuadPart);
        CloseHandle(file);
      }
    }
    return true;
  }
}

FolderCreation createFolder(std::string_view path) {
  const std::wstring wide = longPath(path);
  if (wide.empty()) return FolderCreation::failed;
  if (CreateDirectoryW(wide.c_str(), nullptr)) return FolderCreation::created;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? FolderCreation::existed
             : FolderCreation::failed;
}

void makeNormal(std::string_view path) {
  const std::wstring wide = longPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return;
  }
  constexpr DWORD kProtecting =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((attributes & kProtecting) != 0) SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {

bool writeAll(HANDLE file, const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// A loop of its own rather than CopyFileExW, which under Wine neither calls
// its progress routine nor heeds its cancel flag: the checkpoint before each
// chunk makes a pause or a stop take effect within one chunk.
FileCopy pumpContents(HANDLE in, HANDLE out) {
  thread_local std::vector<char> buffer;
  if (buffer.empty()) buffer.resize(kCopyChunkBytes);
  for (;;) {
    if (!threadCheckpoint()) return FileCopy::stopped;
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return FileCopy::failed;
    }
    if (got == 0) return FileCopy::copied;
    if (!writeAll(out, buffer.data(), got)) return FileCopy::failed;
    if (const int delay = chunkDelayMs.load(std::memory_order_relaxed); delay > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
  }
}

}  // namespace

FileCopy copyWholeFile(std::string_view source, std::string_view target) {
  if (source.empty() || target.empty()) return FileCopy::failed;
  const std::wstring sourcePath = longPath(source);
  const std::wstring targetPath = longPath(target);
  const HANDLE in = CreateFileW(sourcePath.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return FileCopy::failed;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(in, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(in);
    return FileCopy::failed;
  }

  // The temporary file goes into the target's own folder, so the final move
  // is a rename within one volume that replaces the target in one step.
  const std::wstring folder = targetPath.substr(0, targetPath.rfind(L'\\') + 1);
  std::wstring temporary;
  HANDLE out = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && out == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = folder + widen(temporaryName());
    out = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (out == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (out == INVALID_HANDLE_VALUE) {
    CloseHandle(in);
    return FileCopy::failed;
  }

  FileCopy outcome = pumpContents(in, out);
  CloseHandle(in);
  if (outcome == FileCopy::copied) SetFileTime(out, nullptr, nullptr, &info.ftLastWriteTime);
  if (!CloseHandle(out) && outcome == FileCopy::copied) outcome = FileCopy::failed;
  if (outcome == FileCopy::copied) {
    constexpr DWORD kCarried = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = info.dwFileAttributes & kCarried;
    if (!SetFileAttributesW(temporary.c_str(),
                            attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) ||
        !MoveFileExW(temporary.c_str(), targetPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      outcome = FileCopy::failed;
    }
  }
  if (outcome != FileCopy::copied) deleteTemporary(temporary);
  return outcome;
}

int removeLeftoverCopies(std::string_view folder) {
  std::wstring wide = longPath(folder);
  if (wide.empty()) return 0;
  if (wide.back() != L'\\') wide += L'\\';
  WIN32_FIND_DATAW data{};
  const HANDLE find = findFirst(wide + widen(kCopyTemporaryPrefix) + L"*", data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        !isCopyTemporaryName(narrow(data.cFileName))) {
      continue;
    }
    const std::wstring path = wide + data.cFileName;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str())) ++removed;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return removed;
}

namespace {

bool folderIdentity(std::string_view path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE folder = CreateFileW(longPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(folder, &info) != 0 &&
                  (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(folder);
  return ok;
}

}  // namespace

bool sameFolder(std::string_view first, std::string_view second) {
  BY_HANDLE_FILE_INFORMATION one{};
  BY_HANDLE_FILE_INFORMATION two{};
  return folderIdentity(first, one) && folderIdentity(second, two) &&
         one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
         one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

namespace testing {
void slowCopyChunks(int milliseconds) { chunkDelayMs.store(milliseconds); }
}  // namespace testing

// Wide-API listings already take the long-path form; nothing to keep per branch.
struct ListingBranch::State {};
ListingBranch::ListingBranch() = default;
ListingBranch::~ListingBranch() = default;

}  // namespace platform
