// Listings, folder creation and the whole-file copy over the wide Win32 API.
// Every path goes to the system in its long form (\\?\C:\... or
// \\?\UNC\server\share\...), so no path is cut at 260 characters.
#include "platform/tree.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/threads.h"
#include "platform/tree_common.h"
#include "platform/win32/copy_branch.h"
#include "platform/win32/handle.h"
#include "platform/win32/paths.h"
#include "platform/win32/text.h"

namespace platform {
namespace {

using win32::longPath;
using win32::narrow;
using win32::widen;

std::atomic<win32::testing::CopyBranch> copyBranch{win32::testing::CopyBranch::probed};
std::atomic<int> systemCopyCount{0};

TreeResult failure(DWORD error) { return {false, error}; }

template <typename Outcome>
TreeOutcome<Outcome> outcome(Outcome value, DWORD error = 0) {
  return {value, error};
}

std::string temporaryName() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return tree_common::temporaryName(GetCurrentProcessId(),
                                    static_cast<std::uint64_t>(now.QuadPart));
}

void deleteTemporary(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

win32::FindHandle findFirst(const std::wstring& specification, WIN32_FIND_DATAW& data) {
  HANDLE find = FindFirstFileExW(specification.c_str(), FindExInfoBasic, &data,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    find = FindFirstFileExW(specification.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                            nullptr, 0);
  }
  return win32::FindHandle(find);
}

// A folder with a reparse point is a link unless its tag is a cloud
// provider's placeholder (whose contents are really there, or fetched on
// demand): symbolic links, junctions, and any tag we do not know, such as the
// tag 0 that Wine gives a Unix link, all may lead back up the tree. For a file
// only symbolic links (and Wine's tag 0) are links; deduplicated or
// compressed files keep their own sizes.
bool isCloudTag(DWORD tag) { return (tag & 0xFFFF0FFFu) == 0x9000001Au; }

bool isLink(DWORD attributes, DWORD tag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return !isCloudTag(tag);
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT || tag == 0;
}

win32::Handle openForIdentity(const std::wstring& path) {
  return win32::Handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool identityByPath(std::wstring path, PathIdentity& identity, bool folderOnly) {
  // A folder is opened by its name without a trailing backslash, a root
  // ("\\?\C:\") with it.
  if (path.size() > 7 && path.back() == L'\\') path.pop_back();
  win32::Handle handle = openForIdentity(path);
  if (!handle.valid()) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(handle.get(), &info) != 0 &&
                  (!folderOnly || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  handle.close();
  if (!ok) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// The folder identity of a walk without a volume query per folder. The
// volume's serial number (which GetFileInformationByHandle asks of the volume,
// under Wine a round of requests through its mount manager) is asked once per
// walk; each folder's own number comes from NtQueryInformationFile
// (FileInternalInformation: under Wine read from the open descriptor, no
// request) on the handle its listing reads the folder through. The volume is asked again only when
// the folder's volume sizes (FileFsSizeInformation, read from the descriptor too) differ from those
// of the volume asked last: a walk never enters a link, so on Windows it stays on one volume, and
// under Wine a Unix mount inside the tree is noticed that way.
struct InternalInformation {
  LARGE_INTEGER indexNumber;
};
struct VolumeSizes {
  LARGE_INTEGER totalUnits;
  LARGE_INTEGER availableUnits;
  ULONG sectorsPerUnit;
  ULONG bytesPerSector;
};
struct StatusBlock {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};
// The volume's serial number (FileFsVolumeInformation, where
// GetFileInformationByHandle takes it from), with room for its label, which is
// not used.
struct VolumeLabel {
  LARGE_INTEGER creationTime;
  ULONG serialNumber;
  ULONG labelLength;
  BOOLEAN supportsObjects;
  wchar_t label[MAX_PATH + 1];
};
// One entry of a folder's listing (FileFullDirectoryInformation); for a
// reparse point, eaSize holds its tag.
struct DirectoryEntry {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER creationTime;
  LARGE_INTEGER lastAccessTime;
  LARGE_INTEGER lastWriteTime;
  LARGE_INTEGER changeTime;
  LARGE_INTEGER endOfFile;
  LARGE_INTEGER allocationSize;
  ULONG fileAttributes;
  ULONG fileNameLength;  // in bytes
  ULONG eaSize;
  wchar_t fileName[1];
};
struct NtText {
  USHORT length;  // in bytes
  USHORT maximumLength;
  wchar_t* buffer;
};
struct NtObject {
  ULONG length;
  HANDLE rootDirectory;
  NtText* objectName;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};
using QueryFile = LONG(WINAPI*)(HANDLE, StatusBlock*, void*, ULONG, int);
using OpenFile = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, NtObject*, StatusBlock*, ULONG, ULONG);
using QueryDirectory = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, StatusBlock*, void*, ULONG, int,
                                     BOOLEAN, NtText*, BOOLEAN);
using StatusToError = ULONG(WINAPI*)(LONG);
constexpr int kFileFullDirectoryInformation = 2;
constexpr int kFileInternalInformation = 6;
constexpr int kFileFsVolumeInformation = 1;
constexpr int kFileFsSizeInformation = 3;
constexpr ULONG kCaseInsensitive = 0x40;   // OBJ_CASE_INSENSITIVE
constexpr ULONG kDirectoryOnly = 0x1;      // FILE_DIRECTORY_FILE
constexpr ULONG kSynchronousInput = 0x20;  // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kBackupIntent = 0x4000;    // FILE_OPEN_FOR_BACKUP_INTENT
constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005);
constexpr LONG kNoMoreFiles = static_cast<LONG>(0x80000006);
constexpr LONG kNoSuchFile = static_cast<LONG>(0xC000000F);
constexpr LONG kTypeMismatch = static_cast<LONG>(0xC0000024);
constexpr LONG kNameNotFound = static_cast<LONG>(0xC0000034);

struct NtQueries {
  QueryFile file = nullptr;
  QueryFile volume = nullptr;
  OpenFile open = nullptr;
  QueryDirectory directory = nullptr;
  StatusToError error = nullptr;
};

template <typename Function>
Function ntFunction(HMODULE ntdll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}

const NtQueries& ntQueries() {
  static const NtQueries queries = [] {
    NtQueries found;
    if (const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
      found.file = ntFunction<QueryFile>(ntdll, "NtQueryInformationFile");
      found.volume = ntFunction<QueryFile>(ntdll, "NtQueryVolumeInformationFile");
      found.open = ntFunction<OpenFile>(ntdll, "NtOpenFile");
      found.directory = ntFunction<QueryDirectory>(ntdll, "NtQueryDirectoryFile");
      found.error = ntFunction<StatusToError>(ntdll, "RtlNtStatusToDosError");
    }
    return found;
  }();
  return queries;
}

struct BranchVolume {
  bool known = false;
  std::uint64_t serial = 0;
  VolumeSizes sizes{};
};

bool sameSizes(const VolumeSizes& a, const VolumeSizes& b) {
  return a.totalUnits.QuadPart == b.totalUnits.QuadPart && a.sectorsPerUnit == b.sectorsPerUnit &&
         a.bytesPerSector == b.bytesPerSector;
}

// The identity of the folder open as `folder`, from the handle alone; its
// volume's serial number is asked only when `volume` does not hold it yet (or
// holds another volume's). False when the system does not answer.
bool identityOfOpenFolder(HANDLE folder, BranchVolume& volume, PathIdentity& identity) {
  const NtQueries& nt = ntQueries();
  if (nt.file == nullptr || nt.volume == nullptr) return false;
  StatusBlock io{};
  InternalInformation internal{};
  VolumeSizes sizes{};
  if (nt.file(folder, &io, &internal, sizeof internal, kFileInternalInformation) < 0 ||
      nt.volume(folder, &io, &sizes, sizeof sizes, kFileFsSizeInformation) < 0) {
    return false;
  }
  if (!volume.known || !sameSizes(volume.sizes, sizes)) {
    VolumeLabel label{};
    const LONG status = nt.volume(folder, &io, &label, sizeof label, kFileFsVolumeInformation);
    if (status < 0 && status != kBufferOverflow) return false;
    volume.known = true;
    volume.serial = label.serialNumber;
    volume.sizes = sizes;
  }
  identity.volume = volume.serial;
  identity.file = static_cast<std::uint64_t>(internal.indexNumber.QuadPart);
  return true;
}

bool identityInWalk(std::wstring path, BranchVolume& volume, PathIdentity& identity) {
  if (path.size() > 7 && path.back() == L'\\') path.pop_back();
  win32::Handle handle = openForIdentity(path);
  if (!handle.valid()) return false;
  if (identityOfOpenFolder(handle.get(), volume, identity)) return true;
  handle.close();
  return identityByPath(path, identity, true);
}

}  // namespace

// The walk in progress on this thread: its volume, asked once.
struct ListingBranch::State {
  BranchVolume volume;
};

namespace {
thread_local ListingBranch::State* activeBranch = nullptr;
}  // namespace

ListingBranch::ListingBranch() : state_(std::make_unique<State>()), previous_(activeBranch) {
  activeBranch = state_.get();
}

ListingBranch::~ListingBranch() { activeBranch = previous_; }

// A listing reads its folder through the one handle it opens it with, as
// FindFirstFileExW does inside, and that handle also tells the folder's
// identity: under Wine the open, the fetch of its descriptor and the close
// are then paid once per folder, not twice. A narrower pattern goes through
// FindFirstFileExW itself, which turns the wildcards into the file system's
// own.
struct FolderListing::State {
  std::wstring folder;  // long form, ending with a backslash

  // Read from the folder's own handle:
  win32::Handle handle;
  std::unique_ptr<std::uint64_t[]> entries;  // kEntryBytes, 8-byte aligned
  ULONG filled = 0;                          // bytes of `entries` the last read gave
  ULONG position = 0;                        // where the next entry starts
  bool ended = false;                        // the file system has nothing more
  // Or through FindFirstFileExW:
  win32::FindHandle find;
  WIN32_FIND_DATAW data{};
  bool haveData = false;  // the entry FindFirstFileExW gave, not returned yet
};

namespace {

constexpr ULONG kEntryBytes = 64 * 1024;

// One entry as both ways of reading give it.
struct RawEntry {
  std::wstring_view name;
  DWORD attributes = 0;
  std::uint64_t size = 0;
  DWORD tag = 0;  // the reparse tag, for a reparse point
};

bool matchesEverything(std::string_view pattern) {
  return pattern.empty() || pattern == "*" || pattern == "*.*";
}

bool isDotName(std::wstring_view name) { return name == L"." || name == L".."; }

// Reads the next entries of the folder into the buffer; false at the end or
// on a failure, with the system's status.
bool readEntries(FolderListing::State& state, bool first, LONG& status) {
  state.filled = 0;
  state.position = 0;
  StatusBlock io{};
  wchar_t everything[] = L"*";
  NtText mask{sizeof(wchar_t), sizeof(wchar_t), everything};
  status = ntQueries().directory(state.handle.get(), nullptr, nullptr, nullptr, &io,
                                 state.entries.get(), kEntryBytes, kFileFullDirectoryInformation,
                                 FALSE, first ? &mask : nullptr, first ? TRUE : FALSE);
  if (status < 0 || io.information == 0) {
    state.ended = true;
    return false;
  }
  state.filled = static_cast<ULONG>(std::min<ULONG_PTR>(io.information, kEntryBytes));
  return true;
}

// The next entry of a listing read from its handle; false at the end.
bool nextRawEntry(FolderListing::State& state, RawEntry& raw) {
  if (state.position >= state.filled) {
    LONG status = 0;
    if (state.ended || !readEntries(state, false, status)) return false;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(state.entries.get());
  const auto* entry = reinterpret_cast<const DirectoryEntry*>(bytes + state.position);
  const std::size_t nameAt = state.position + offsetof(DirectoryEntry, fileName);
  if (nameAt > state.filled || entry->fileNameLength > state.filled - nameAt) {
    state.ended = true;  // an entry cut short: never from a sound file system
    state.position = state.filled;
    return false;
  }
  raw.name = std::wstring_view(entry->fileName, entry->fileNameLength / sizeof(wchar_t));
  raw.attributes = entry->fileAttributes;
  raw.size = static_cast<std::uint64_t>(entry->endOfFile.QuadPart);
  raw.tag = (entry->fileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? entry->eaSize : 0;
  state.position =
      entry->nextEntryOffset == 0 ? state.filled : state.position + entry->nextEntryOffset;
  return true;
}

// Whether the folder can be read from its own handle: the NT calls are there,
// and the path is in the \\?\ form, which the system passes on as it is.
bool readableThroughHandle(const std::wstring& folder) {
  const NtQueries& nt = ntQueries();
  return nt.open != nullptr && nt.directory != nullptr && nt.error != nullptr &&
         folder.starts_with(L"\\\\?\\") && folder.size() < 32000;
}

// Opens the folder as FindFirstFileExW does (same rights, sharing and
// options) and reads its first entries. As with FindFirstFileExW, a folder
// without a single entry (a drive's root has no "." and "..") does not open,
// and a missing folder is a missing path.
TreeResult openThroughHandle(FolderListing::State& state) {
  const NtQueries& nt = ntQueries();
  std::wstring name = L"\\??\\" + state.folder.substr(4);
  NtText text{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
              static_cast<USHORT>(name.size() * sizeof(wchar_t)), name.data()};
  NtObject object{sizeof(NtObject), nullptr, &text, kCaseInsensitive, nullptr, nullptr};
  StatusBlock io{};
  HANDLE handle = nullptr;
  const LONG opened = nt.open(&handle, FILE_LIST_DIRECTORY | SYNCHRONIZE, &object, &io,
                              FILE_SHARE_READ | FILE_SHARE_WRITE,
                              kDirectoryOnly | kSynchronousInput | kBackupIntent);
  if (opened < 0) {
    return failure(opened == kNameNotFound || opened == kTypeMismatch ? ERROR_PATH_NOT_FOUND
                                                                      : nt.error(opened));
  }
  state.handle = win32::Handle(handle);
  state.entries =
      std::make_unique_for_overwrite<std::uint64_t[]>(kEntryBytes / sizeof(std::uint64_t));
  LONG status = 0;
  if (!readEntries(state, true, status)) {
    return failure(status >= 0 || status == kNoSuchFile || status == kNoMoreFiles
                       ? ERROR_FILE_NOT_FOUND
                       : nt.error(status));
  }
  const bool root = state.folder.size() == 7 && state.folder[5] == L':';
  if (!root) return {true, 0};
  // In a drive's root "." and ".." do not count: the listing opens only on a
  // real entry, which is then read again by next().
  for (;;) {
    const ULONG at = state.position;
    RawEntry raw;
    if (!nextRawEntry(state, raw)) return failure(ERROR_FILE_NOT_FOUND);
    if (!isDotName(raw.name)) {
      state.position = at;
      return {true, 0};
    }
  }
}

TreeResult openThroughFind(FolderListing::State& state, std::string_view pattern) {
  state.find = findFirst(state.folder + widen(pattern.empty() ? "*.*" : pattern), state.data);
  if (!state.find.valid()) return failure(GetLastError());
  state.haveData = true;
  return {true, 0};
}

bool nextFoundEntry(FolderListing::State& state, RawEntry& raw) {
  if (state.haveData) {
    state.haveData = false;
  } else if (!state.find.valid() || !FindNextFileW(state.find.get(), &state.data)) {
    return false;
  }
  const WIN32_FIND_DATAW& data = state.data;
  raw.name = data.cFileName;
  raw.attributes = data.dwFileAttributes;
  raw.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  raw.tag = data.dwReserved0;
  return true;
}

}  // namespace

FolderListing::FolderListing() = default;
FolderListing::~FolderListing() = default;

void FolderListing::close() { state_.reset(); }

TreeResult FolderListing::open(std::string_view folder, std::string_view pattern,
                               [[maybe_unused]] ListingDetail detail) {
  close();
  if (folder.empty()) return failure(ERROR_PATH_NOT_FOUND);
  auto state = std::make_unique<State>();
  state->folder = longPath(folder);
  if (state->folder.back() != L'\\') state->folder += L'\\';
  const TreeResult opened = matchesEverything(pattern) && readableThroughHandle(state->folder)
                                ? openThroughHandle(*state)
                                : openThroughFind(*state, pattern);
  if (opened) state_ = std::move(state);
  return opened;
}

bool FolderListing::next(TreeEntry& entry) {
  if (state_ == nullptr) return false;
  for (;;) {
    RawEntry raw;
    const bool found =
        state_->handle.valid() ? nextRawEntry(*state_, raw) : nextFoundEntry(*state_, raw);
    if (!found) return false;
    if (isDotName(raw.name)) continue;
    entry.name = narrow(raw.name);
    entry.attributes = raw.attributes;
    entry.folder = (raw.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.link = isLink(raw.attributes, raw.tag);
    entry.size = entry.folder ? 0 : raw.size;
    if (entry.link && !entry.folder) {
      // The listing gives the link's own size (0); the copy carries the file
      // it points to, so that is the size that counts.
      entry.size = 0;
      const std::wstring path = state_->folder + std::wstring(raw.name);
      const win32::Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
      LARGE_INTEGER size{};
      if (file.valid() && GetFileSizeEx(file.get(), &size)) {
        entry.size = static_cast<std::uint64_t>(size.QuadPart);
      }
    }
    return true;
  }
}

TreeOutcome<FolderCreation> createFolder(std::string_view path) {
  const std::wstring wide = longPath(path);
  if (wide.empty()) return outcome(FolderCreation::failed, ERROR_PATH_NOT_FOUND);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return outcome(FolderCreation::created);
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? outcome(FolderCreation::existed)
             : outcome(FolderCreation::failed, error);
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

// The engine's own loop, for where the system's copy cannot be paused: the
// checkpoint before each chunk makes a pause or a stop take effect within one
// chunk. `copied` counts the bytes written.
FileCopy pumpContents(HANDLE in, HANDLE out, std::uint64_t& copied, DWORD& error) {
  thread_local std::vector<char> buffer;
  if (buffer.empty()) buffer.resize(kCopyChunkBytes);
  for (;;) {
    if (!threadCheckpoint()) return FileCopy::stopped;
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      error = GetLastError();
      return FileCopy::failed;
    }
    if (got == 0) return FileCopy::copied;
    if (!writeAll(out, buffer.data(), got)) {
      error = GetLastError();
      return FileCopy::failed;
    }
    copied += got;
    tree_common::afterChunk(got);
  }
}

struct Progress {
  bool called = false;
  bool stopped = false;
  std::uint64_t transferred = 0;
};

DWORD CALLBACK onCopyProgress(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER,
                              LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
  auto* progress = static_cast<Progress*>(data);
  progress->called = true;
  if (!threadCheckpoint()) {
    progress->stopped = true;
    return PROGRESS_CANCEL;
  }
  const auto total = static_cast<std::uint64_t>(transferred.QuadPart);
  tree_common::afterChunk(total > progress->transferred ? total - progress->transferred : 0);
  progress->transferred = std::max(progress->transferred, total);
  return PROGRESS_CONTINUE;
}

// Whether CopyFileExW calls its progress routine here, so that a pause or a
// stop can be answered inside it. Windows calls it at least once per file;
// Wine never does, nor heeds its cancel flag. Asked once, with two small files
// of our own in the temporary folder.
bool systemCopyAnswersProgress() {
  static const bool answers = [] {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return true;  // as Windows does
    const std::wstring from = std::wstring(folder) + widen(temporaryName());
    const std::wstring to = std::wstring(folder) + widen(temporaryName());
    win32::Handle file(CreateFileW(from.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file.valid()) return true;
    DWORD written = 0;
    WriteFile(file.get(), "probe", 5, &written, nullptr);
    file.close();
    Progress progress;
    BOOL cancel = FALSE;
    const bool copied = CopyFileExW(from.c_str(), to.c_str(), onCopyProgress, &progress, &cancel,
                                    COPY_FILE_FAIL_IF_EXISTS) != 0;
    DeleteFileW(from.c_str());
    DeleteFileW(to.c_str());
    return !copied || progress.called;
  }();
  return answers;
}

// What the copy carries from its source and checks again at the end: the
// size and last-write time tell whether the file changed meanwhile. Read
// through the open handle from the file's own data; GetFileInformationByHandle
// would also ask the volume for its serial number, which under Wine is a
// request to its mount manager for every file.
struct SourceStamp {
  DWORD attributes = 0;
  LARGE_INTEGER lastWrite{};
  LARGE_INTEGER size{};
  bool folder = false;
};

bool readStamp(HANDLE file, SourceStamp& stamp) {
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  stamp.attributes = basic.FileAttributes;
  stamp.lastWrite = basic.LastWriteTime;
  stamp.size = standard.EndOfFile;
  stamp.folder = standard.Directory != FALSE;
  return true;
}

// A failed query leaves its error number in `error`; a file that changed
// leaves it alone.
bool unchanged(HANDLE file, const SourceStamp& before, DWORD& error) {
  SourceStamp after;
  if (!readStamp(file, after)) {
    error = GetLastError();
    return false;
  }
  return after.size.QuadPart == before.size.QuadPart &&
         after.lastWrite.QuadPart == before.lastWrite.QuadPart;
}

// The same question after the engine's own loop, which read the file to its
// end: the bytes it copied stand for the size, so only the last-write time is
// asked again.
bool unchangedAfterPump(HANDLE file, const SourceStamp& before, std::uint64_t copied,
                        DWORD& error) {
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    error = GetLastError();
    return false;
  }
  return copied == static_cast<std::uint64_t>(before.size.QuadPart) &&
         basic.LastWriteTime.QuadPart == before.lastWrite.QuadPart;
}

constexpr DWORD kProtecting =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The attributes a protected target had, when it was made normal so that it
// can be replaced; 0 when it was left alone.
DWORD unprotect(const std::wstring& target) {
  const DWORD old = GetFileAttributesW(target.c_str());
  if (old == INVALID_FILE_ATTRIBUTES ||
      (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      (old & kProtecting) == 0 || !SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    return 0;
  }
  return old;
}

// The system's copy into a new temporary file beside the target: it carries
// what the engine's own loop cannot (named streams, encryption, sparseness,
// compression, attributes and times).
FileCopy systemCopy(const std::wstring& source, const std::wstring& folder, std::wstring& temporary,
                    DWORD& failure) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary = folder + widen(temporaryName());
    Progress progress;
    BOOL cancel = FALSE;
    if (CopyFileExW(source.c_str(), temporary.c_str(), onCopyProgress, &progress, &cancel,
                    COPY_FILE_FAIL_IF_EXISTS)) {
      systemCopyCount.fetch_add(1, std::memory_order_relaxed);
      return FileCopy::copied;
    }
    const DWORD error = GetLastError();
    failure = error;
    if (progress.stopped || error == ERROR_REQUEST_ABORTED) {
      return progress.stopped ? FileCopy::stopped : FileCopy::failed;
    }
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return FileCopy::failed;
    temporary.clear();  // somebody else's file: never ours to delete
  }
  return FileCopy::failed;
}

// Renames the complete temporary file over the target. A protected target is
// made normal only now, right before it is replaced, and gets its attributes
// back if the rename fails.
bool replaceTarget(const std::wstring& temporary, const std::wstring& target, bool replaceProtected,
                   DWORD& error) {
  const DWORD old = replaceProtected ? unprotect(target) : 0;
  if (MoveFileExW(temporary.c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  error = GetLastError();
  if (old != 0) SetFileAttributesW(target.c_str(), old);
  return false;
}

TreeOutcome<FileCopy> copyThroughSystem(win32::Handle in, const SourceStamp& stamp,
                                        const std::wstring& source, const std::wstring& folder,
                                        const std::wstring& target, bool replaceProtected) {
  std::wstring temporary;
  DWORD error = 0;
  FileCopy result = systemCopy(source, folder, temporary, error);
  if (result == FileCopy::copied && !unchanged(in.get(), stamp, error)) result = FileCopy::failed;
  in.close();
  if (result == FileCopy::copied && !replaceTarget(temporary, target, replaceProtected, error)) {
    result = FileCopy::failed;
  }
  if (result != FileCopy::copied && !temporary.empty()) deleteTemporary(temporary);
  return outcome(result, result == FileCopy::failed ? error : 0);
}

// Renames the open file over `target` through its handle, which spares the
// open, query and close a rename by name costs. As in replaceTarget, a
// protected target is made normal only when it refused the first try.
bool renameOpenFile(HANDLE file, const std::wstring& target, bool replaceProtected, DWORD& error) {
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes +
                                    sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, target.c_str(), nameBytes + sizeof(wchar_t));
  const DWORD size = static_cast<DWORD>(buffer.size());
  if (SetFileInformationByHandle(file, FileRenameInfo, rename, size)) return true;
  error = GetLastError();
  if (!replaceProtected) return false;
  const DWORD old = unprotect(target);
  if (old == 0) return false;
  if (SetFileInformationByHandle(file, FileRenameInfo, rename, size)) return true;
  error = GetLastError();
  SetFileAttributesW(target.c_str(), old);
  return false;
}

// The engine's own copy: the contents pumped into a new temporary file, whose
// time and attributes are then set and which is renamed over the target, all
// through the one handle it was created with.
TreeOutcome<FileCopy> ownCopy(win32::Handle in, const SourceStamp& stamp,
                              const std::wstring& folder, const std::wstring& target,
                              bool replaceProtected) {
  constexpr DWORD kCarried = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                             FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD carried = stamp.attributes & kCarried;
  // Most files carry the archive mark alone, which a new file is created
  // with: their attributes need no second setting.
  const bool archiveOnly = carried == FILE_ATTRIBUTE_ARCHIVE;
  std::wstring temporary;
  win32::Handle out;
  DWORD error = 0;
  for (int attempt = 0; attempt < 16 && !out.valid(); ++attempt) {
    temporary = folder + widen(temporaryName());
    out = win32::Handle(CreateFileW(
        temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
        (archiveOnly ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_SEQUENTIAL_SCAN,
        nullptr));
    if (!out.valid()) error = GetLastError();
    if (!out.valid() && error != ERROR_FILE_EXISTS) break;
  }
  if (!out.valid()) return outcome(FileCopy::failed, error);
  error = 0;
  std::uint64_t copied = 0;
  FileCopy result = pumpContents(in.get(), out.get(), copied, error);
  if (result == FileCopy::copied) {
    FILE_BASIC_INFO basic{};  // times and attributes left at 0 stay as they are
    basic.LastWriteTime = stamp.lastWrite;
    if (!archiveOnly) basic.FileAttributes = carried == 0 ? FILE_ATTRIBUTE_NORMAL : carried;
    if (!SetFileInformationByHandle(out.get(), FileBasicInfo, &basic, sizeof basic)) {
      result = FileCopy::failed;
      error = GetLastError();
    }
  }
  if (result == FileCopy::copied && !unchangedAfterPump(in.get(), stamp, copied, error)) {
    result = FileCopy::failed;
  }
  in.close();
  if (result == FileCopy::copied && !renameOpenFile(out.get(), target, replaceProtected, error)) {
    result = FileCopy::failed;
  }
  // Every write was taken before the rename; a close that fails now is still
  // reported.
  if (!out.close() && result == FileCopy::copied) {
    result = FileCopy::failed;
    error = GetLastError();
  }
  if (result != FileCopy::copied) deleteTemporary(temporary);
  return outcome(result, result == FileCopy::failed ? error : 0);
}

// The copy of one file, both paths in their long form.
TreeOutcome<FileCopy> copyWide(const std::wstring& sourcePath, const std::wstring& targetPath,
                               bool replaceProtected) {
  // Other programs may read the file meanwhile, but not write it: a file being
  // written cannot be copied whole, and is not reported as copied.
  win32::Handle in(CreateFileW(sourcePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.valid()) return outcome(FileCopy::failed, GetLastError());
  SourceStamp stamp;
  if (!readStamp(in.get(), stamp)) return outcome(FileCopy::failed, GetLastError());
  if (stamp.folder) return outcome(FileCopy::failed, ERROR_ACCESS_DENIED);
  // The temporary file goes into the target's own folder, so the final move
  // is a rename within one volume that replaces the target in one step.
  const std::wstring folder = targetPath.substr(0, targetPath.rfind(L'\\') + 1);
  const win32::testing::CopyBranch branch = copyBranch.load(std::memory_order_relaxed);
  const bool throughSystem = branch == win32::testing::CopyBranch::probed
                                 ? systemCopyAnswersProgress()
                                 : branch == win32::testing::CopyBranch::systemCopy;
  return throughSystem ? copyThroughSystem(std::move(in), stamp, sourcePath, folder, targetPath,
                                           replaceProtected)
                       : ownCopy(std::move(in), stamp, folder, targetPath, replaceProtected);
}

}  // namespace

TreeOutcome<FileCopy> copyWholeFile(std::string_view source, std::string_view target,
                                    bool replaceProtected) {
  if (source.empty() || target.empty()) return outcome(FileCopy::failed, ERROR_PATH_NOT_FOUND);
  return copyWide(longPath(source), longPath(target), replaceProtected);
}

// The Win32 backend holds no folder open: the folder's long path.
struct TargetFolder::State {
  std::wstring folder;  // ending with a backslash
};

TargetFolder::TargetFolder() = default;
TargetFolder::~TargetFolder() = default;

void TargetFolder::close() { state_.reset(); }

TreeOutcome<FolderCreation> TargetFolder::create(std::string_view path) {
  close();
  const TreeOutcome<FolderCreation> creation = createFolder(path);
  if (creation == FolderCreation::failed) return creation;
  state_ = std::make_unique<State>();
  state_->folder = longPath(path);
  if (state_->folder.back() != L'\\') state_->folder += L'\\';
  return creation;
}

TreeOutcome<FileCopy> copyWholeFile(const FolderListing& sourceFolder, std::string_view sourceName,
                                    TargetFolder& targetFolder, std::string_view targetName,
                                    bool replaceProtected) {
  const FolderListing::State* listing = sourceFolder.state();
  const TargetFolder::State* target = targetFolder.state();
  if (listing == nullptr || target == nullptr || sourceName.empty() || targetName.empty()) {
    return outcome(FileCopy::failed, ERROR_PATH_NOT_FOUND);
  }
  return copyWide(listing->folder + widen(sourceName), target->folder + widen(targetName),
                  replaceProtected);
}

int removeLeftoverCopies(std::string_view folder, std::string_view sourceFolder) {
  std::wstring wide = longPath(folder);
  if (wide.empty()) return 0;
  if (wide.back() != L'\\') wide += L'\\';
  std::wstring sourceWide = sourceFolder.empty() ? std::wstring() : longPath(sourceFolder);
  if (!sourceWide.empty() && sourceWide.back() != L'\\') sourceWide += L'\\';
  WIN32_FIND_DATAW data{};
  const win32::FindHandle find = findFirst(wide + widen(kCopyTemporaryPrefix) + L"*", data);
  if (!find.valid()) return 0;
  int removed = 0;
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        !isCopyTemporaryName(narrow(data.cFileName))) {
      continue;
    }
    // The copy of a source file that happens to be named like ours stays.
    if (!sourceWide.empty() &&
        GetFileAttributesW((sourceWide + data.cFileName).c_str()) != INVALID_FILE_ATTRIBUTES) {
      continue;
    }
    const std::wstring path = wide + data.cFileName;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str())) ++removed;
  } while (FindNextFileW(find.get(), &data));
  return removed;
}

bool FolderListing::identity(PathIdentity& identity) const {
  if (state_ == nullptr) return false;
  if (state_->handle.valid()) {
    // Outside a walk the volume is asked each time, as by path.
    BranchVolume ownVolume;
    BranchVolume& volume = activeBranch != nullptr ? activeBranch->volume : ownVolume;
    if (identityOfOpenFolder(state_->handle.get(), volume, identity)) return true;
  }
  return activeBranch != nullptr ? identityInWalk(state_->folder, activeBranch->volume, identity)
                                 : identityByPath(state_->folder, identity, true);
}

bool pathIdentity(std::string_view path, PathIdentity& identity) {
  return !path.empty() && identityByPath(longPath(path), identity, false);
}

bool folderIdentity(std::string_view path, PathIdentity& identity) {
  return !path.empty() && identityByPath(longPath(path), identity, true);
}

std::string finalFolderPath(std::string_view path) {
  if (path.empty()) return {};
  win32::Handle handle = openForIdentity(longPath(path));
  if (!handle.valid()) return {};
  std::wstring final(32768, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  handle.close();
  if (length == 0 || length >= final.size()) return {};
  final.resize(length);
  // Back from the long form to the ordinary one the program's paths use.
  if (final.starts_with(L"\\\\?\\UNC\\")) {
    final = L"\\\\" + final.substr(8);
  } else if (final.starts_with(L"\\\\?\\")) {
    final = final.substr(4);
  }
  return narrow(final);
}

namespace win32::testing {
void useCopyBranch(CopyBranch branch) { copyBranch.store(branch); }
int systemCopies() { return systemCopyCount.load(); }
}  // namespace win32::testing

}  // namespace platform
