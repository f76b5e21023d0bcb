// The recursive copy and its file layer on Win32 file-system semantics:
// attributes, replacing protected targets, long paths, names outside
// Windows-1252, locked files, a destination volume that fills up and a copy
// stopped in the middle of a file. Each case runs through both ways a file's
// contents can be copied: the engine's own chunk loop (what Wine gets) and
// the system's CopyFileExW (what Windows gets).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/state.h"
#include "copyjob/job.h"
#include "engine/engine.h"
#include "platform/threads.h"
#include "platform/tree.h"
#include "platform/win32/copy_branch.h"
#include "platform/win32/text.h"
#include "wine_support.h"

namespace {

// How long a test waits for a thread before it calls it hung: only a hang
// reaches it, however busy the machine.
constexpr int kHangCeilingMs = 180000;

using platform::win32::narrow;
using platform::win32::widen;
using platform::win32::testing::CopyBranch;
using namespace std::chrono_literals;

constexpr unsigned kAllFlags = engine::kRecurse | engine::kResetTargetAttributes;

// Test paths are built in the long form, so they may pass 260 characters.
std::wstring wide(const std::string& path) { return winetest::longForm(path); }

bool makeFolder(const std::string& path) { return CreateDirectoryW(wide(path).c_str(), nullptr); }

using winetest::writeFile;

std::string readFile(const std::string& path) {
  const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(wide(path).c_str()); }

std::vector<std::string> temporaryFilesIn(const std::string& folder) {
  std::vector<std::string> found;
  platform::FolderListing listing;
  platform::TreeEntry entry;
  if (!listing.open(folder, "*.*")) return found;
  while (listing.next(entry)) {
    if (platform::isCopyTemporaryName(entry.name)) found.push_back(entry.name);
  }
  return found;
}

void removeTree(const std::string& path) {
  platform::FolderListing listing;
  platform::TreeEntry entry;
  std::vector<std::string> folders;
  if (listing.open(path, "*.*")) {
    while (listing.next(entry)) {
      const std::string child = path + "\\" + entry.name;
      SetFileAttributesW(wide(child).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.folder && !entry.link) {
        folders.push_back(child);
      } else if (entry.folder) {
        RemoveDirectoryW(wide(child).c_str());
      } else {
        DeleteFileW(wide(child).c_str());
      }
    }
  }
  listing.close();
  for (const std::string& folder : folders) removeTree(folder);
  RemoveDirectoryW(wide(path).c_str());
}

class CopyTreeTest : public ::testing::TestWithParam<CopyBranch> {
 protected:
  void SetUp() override {
    platform::win32::testing::useCopyBranch(GetParam());
    app::resetAppState();
    root_ = winetest::freshTempFolderName("ravelund-copy-");
    source_ = root_ + "\\src";
    target_ = root_ + "\\dst";
    ASSERT_TRUE(makeFolder(root_));
    ASSERT_TRUE(makeFolder(source_));
  }
  void TearDown() override {
    platform::testing::slowCopyChunks(0);
    platform::win32::testing::useCopyBranch(CopyBranch::probed);
    removeTree(root_);
  }
  int copy(unsigned flags = kAllFlags) {
    return engine::copyFolderTree(source_, target_, "*.*", flags);
  }

  std::string root_;
  std::string source_;
  std::string target_;
};

TEST_P(CopyTreeTest, ReplacesReadOnlyAndHiddenTargetsAndCarriesAttributesAndTime) {
  ASSERT_TRUE(writeFile(source_ + "\\readonly.txt", "new read-only"));
  ASSERT_TRUE(writeFile(source_ + "\\hidden.txt", "new hidden"));
  ASSERT_TRUE(writeFile(source_ + "\\plain.txt", "new plain"));
  SetFileAttributesW(wide(source_ + "\\hidden.txt").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  // An old modification time on the source, to be found on the copy.
  const HANDLE file = CreateFileW(wide(source_ + "\\plain.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME stamp{};
  stamp.dwHighDateTime = 0x01D00000;  // in 2014
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
  CloseHandle(file);

  ASSERT_TRUE(makeFolder(target_));
  ASSERT_TRUE(writeFile(target_ + "\\readonly.txt", "old"));
  ASSERT_TRUE(writeFile(target_ + "\\hidden.txt", "old"));
  ASSERT_TRUE(writeFile(target_ + "\\plain.txt", "old"));
  SetFileAttributesW(wide(target_ + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(wide(target_ + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(wide(target_ + "\\plain.txt").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readFile(target_ + "\\readonly.txt"), "new read-only");
  EXPECT_EQ(readFile(target_ + "\\hidden.txt"), "new hidden");
  EXPECT_EQ(readFile(target_ + "\\plain.txt"), "new plain");
  constexpr DWORD kVisible =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  EXPECT_EQ(attributesOf(target_ + "\\readonly.txt") & kVisible, 0u);
  EXPECT_EQ(attributesOf(target_ + "\\hidden.txt") & kVisible,
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(attributesOf(target_ + "\\plain.txt") & kVisible, 0u);

  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(
      GetFileAttributesExW(wide(target_ + "\\plain.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, stamp.dwHighDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, stamp.dwLowDateTime);

  // A second run over a copy that is now read-only and hidden replaces it again.
  ASSERT_TRUE(writeFile(source_ + "\\readonly.txt", "newer"));
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readFile(target_ + "\\readonly.txt"), "newer");
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

// Most files carry the archive mark alone, and their copies are made with it
// rather than given it afterwards; a file without it, or with others beside
// it, must still arrive exactly as it is.
TEST_P(CopyTreeTest, EachFileArrivesWithTheAttributesItsSourceHas) {
  const std::map<std::string, DWORD> attributes{
      {"archive.txt", FILE_ATTRIBUTE_ARCHIVE},
      {"normal.txt", FILE_ATTRIBUTE_NORMAL},
      {"hidden.txt", FILE_ATTRIBUTE_HIDDEN},
      {"hidden-archive.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {"system-readonly.txt", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY},
      {"not-indexed.txt", FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE},
  };
  for (const auto& [name, set] : attributes) {
    ASSERT_TRUE(writeFile(source_ + "\\" + name, name));
    ASSERT_TRUE(SetFileAttributesW(wide(source_ + "\\" + name).c_str(), set));
  }
  // A target that is there already, hidden, takes the source's attributes too.
  ASSERT_TRUE(makeFolder(target_));
  ASSERT_TRUE(writeFile(target_ + "\\archive.txt", "old"));
  SetFileAttributesW(wide(target_ + "\\archive.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);

  EXPECT_EQ(copy(), 1);
  constexpr DWORD kCarried = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                             FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  std::set<DWORD> seen;
  for (const auto& [name, set] : attributes) {
    const DWORD source = attributesOf(source_ + "\\" + name);
    ASSERT_NE(source, INVALID_FILE_ATTRIBUTES) << name;
    seen.insert(source & kCarried);
    EXPECT_EQ(readFile(target_ + "\\" + name), name);
    EXPECT_EQ(attributesOf(target_ + "\\" + name) & kCarried, source & kCarried) << name;
  }
  // The sources really differ, so the comparison above tells them apart
  // (under Wine every file has the archive mark and none the content-index
  // one, which leaves three kinds).
  EXPECT_GE(seen.size(), 3u);
}

TEST_P(CopyTreeTest, PathsPastTwoHundredSixtyCharactersAreCopiedWhole) {
  std::string deep = source_;
  std::string relative;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "Dossier numero " + std::to_string(i) + " des photos";
    deep += "\\" + name;
    relative += "\\" + name;
    ASSERT_TRUE(makeFolder(deep)) << deep;
  }
  ASSERT_GT(deep.size(), 300u);
  ASSERT_TRUE(writeFile(deep + "\\photo.jpg", "photo bytes"));
  ASSERT_TRUE(makeFolder(source_ + "\\vide"));

  EXPECT_EQ(engine::folderTotalSize(source_, "*.*"), 11);
  EXPECT_EQ(engine::countElements(0, source_), 12 + 1 + 1);
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readFile(target_ + relative + "\\photo.jpg"), "photo bytes");
  EXPECT_NE(attributesOf(target_ + "\\vide") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(engine::folderTotalSize(target_ + "\\", "*.*"), 11);
}

TEST_P(CopyTreeTest, NamesOutsideWindows1252AreListedMeasuredAndCopied) {
  // Wine stores names on Linux in the encoding of its locale: without a UTF-8
  // one it cannot hold a name outside ASCII at all, whatever the program does.
  if (!makeFolder(source_ + "\\Données été")) {
    GTEST_SKIP() << "Wine runs without a UTF-8 locale (error " << GetLastError()
                 << "); run it with LC_ALL=C.UTF-8";
  }
  const std::string folder = source_ + "\\Données été\\写真アルバム";
  ASSERT_TRUE(makeFolder(folder));
  const std::string emoji = "\xF0\x9F\x93\xB7 photo.jpg";  // U+1F4F7, a surrogate pair in UTF-16
  ASSERT_TRUE(writeFile(folder + "\\" + emoji, "photo bytes"));
  ASSERT_TRUE(writeFile(source_ + "\\Ωmega ÿ.txt", "greek"));

  EXPECT_EQ(engine::folderTotalSize(source_, "*.*"), 16);
  EXPECT_EQ(engine::countElements(0, source_), 4);
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readFile(target_ + "\\Données été\\写真アルバム\\" + emoji), "photo bytes");
  EXPECT_EQ(readFile(target_ + "\\Ωmega ÿ.txt"), "greek");
}

TEST_P(CopyTreeTest, ALockedFileIsSkippedAndTheOthersArrive) {
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(writeFile(source_ + "\\file" + std::to_string(i), "ok"));
  }
  ASSERT_TRUE(writeFile(source_ + "\\locked", "busy"));
  const HANDLE lock = CreateFileW(wide(source_ + "\\locked").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(copy(), 0);
  CloseHandle(lock);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(readFile(target_ + "\\file" + std::to_string(i)), "ok");
  EXPECT_EQ(attributesOf(target_ + "\\locked"), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

TEST_P(CopyTreeTest, AStoppedCopyKeepsThePreviousVersionAndLeavesNoTemporaryFile) {
  if (GetParam() == CopyBranch::systemCopy) {
    GTEST_SKIP() << "Wine's CopyFileExW never calls its progress routine, so a pause or a stop "
                    "inside a file cannot be shown through it";
  }
  std::string large(48 * platform::kCopyChunkBytes, '\0');
  for (std::size_t i = 0; i < large.size(); i += 4096) large[i] = static_cast<char>(i / 4096);
  ASSERT_TRUE(writeFile(source_ + "\\large.bin", large));
  ASSERT_TRUE(makeFolder(target_));
  ASSERT_TRUE(writeFile(target_ + "\\large.bin", "previous version"));
  platform::testing::slowCopyChunks(20);

  const int thread = platform::startThread(
      [this](int) { return engine::copyFolderTree(source_, target_, "*.*", kAllFlags); }, 0);
  ASSERT_NE(thread, 0);
  std::vector<std::string> temporary;
  const auto sizeOf = [&](const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(wide(target_ + "\\" + name).c_str(), GetFileExInfoStandard, &data);
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  };
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangCeilingMs);
  while (std::chrono::steady_clock::now() < deadline) {
    temporary = temporaryFilesIn(target_);
    if (!temporary.empty() && sizeOf(temporary[0]) >= 2 * platform::kCopyChunkBytes) break;
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_EQ(temporary.size(), 1u);
  platform::pauseThread(thread);
  // Held at its checkpoint, the copy writes nothing more until it resumes.
  ASSERT_TRUE(platform::testing::waitUntilHeld(thread, kHangCeilingMs));
  const std::uint64_t sizeWhenPaused = sizeOf(temporary[0]);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(sizeOf(temporary[0]), sizeWhenPaused);
  EXPECT_LT(sizeWhenPaused, large.size());

  platform::stopThread(thread);
  ASSERT_TRUE(platform::testing::waitAllThreads(kHangCeilingMs));
  EXPECT_EQ(readFile(target_ + "\\large.bin"), "previous version");
  EXPECT_TRUE(temporaryFilesIn(target_).empty());

  // Then a copy left to run puts the whole file in place.
  platform::testing::slowCopyChunks(0);
  EXPECT_EQ(copy(), 1);
  EXPECT_TRUE(readFile(target_ + "\\large.bin") == large);
}

TEST_P(CopyTreeTest, AReadOnlyLeftoverOfAKilledCopyIsClearedByTheNextCopy) {
  ASSERT_TRUE(writeFile(source_ + "\\file", "complete"));
  ASSERT_TRUE(makeFolder(target_));
  const std::string leftover = target_ + "\\~ravelund-0123456789abcdef.tmp";
  ASSERT_TRUE(writeFile(leftover, "half"));
  SetFileAttributesW(wide(leftover).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(attributesOf(leftover), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(readFile(target_ + "\\file"), "complete");
}

TEST_P(CopyTreeTest, DoubledSeparatorsAndForwardSlashesReachTheSameFolders) {
  ASSERT_TRUE(writeFile(source_ + "\\a.txt", "a"));
  // A destination chosen with a trailing backslash and joined with another.
  EXPECT_EQ(engine::copyFolderTree(source_ + "\\", root_ + "\\\\dst\\", "*.*", kAllFlags), 1);
  EXPECT_EQ(readFile(target_ + "\\a.txt"), "a");
  std::string slashed = root_ + "/other/";
  EXPECT_EQ(engine::copyFolderTree(source_, slashed, "", kAllFlags), 1);
  EXPECT_EQ(readFile(root_ + "\\other\\a.txt"), "a");
  EXPECT_TRUE(platform::sameFolder(target_, root_ + "\\.\\x\\..\\DST"));
}

// Every file (with its contents) and folder below `top`; links to folders as
// links, never entered. What must be the same after a refused or failed job.
void snapshotInto(const std::string& top, const std::string& relative,
                  std::map<std::string, std::string>& tree) {
  platform::FolderListing listing;
  platform::TreeEntry entry;
  std::vector<std::string> folders;
  if (!listing.open(top + relative, "*.*")) return;
  while (listing.next(entry)) {
    const std::string name = relative + "\\" + entry.name;
    if (entry.folder && entry.link) {
      tree[name] = "<link>";
    } else if (entry.folder) {
      tree[name + "\\"] = "";
      folders.push_back(name);
    } else {
      tree[name] = readFile(top + name);
    }
  }
  listing.close();
  for (const std::string& folder : folders) snapshotInto(top, folder, tree);
}

std::map<std::string, std::string> snapshot(const std::string& top) {
  std::map<std::string, std::string> tree;
  snapshotInto(top, "", tree);
  return tree;
}

// The folder holding the trees made on the Linux side, or "" outside CTest.
std::string unixTrees() {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(L"RAVELUND_UNIX_TREES", value, 4096);
  return length == 0 || length >= 4096 ? std::string() : narrow(value);
}

TEST_P(CopyTreeTest, ATargetInsideOrHoldingTheSourceIsRefusedWhateverItsSpelling) {
  const std::string summer = root_ + "\\été";
  ASSERT_TRUE(makeFolder(summer));
  ASSERT_TRUE(makeFolder(summer + "\\sub"));
  ASSERT_TRUE(writeFile(summer + "\\photo.jpg", "jpeg"));
  ASSERT_TRUE(writeFile(summer + "\\sub\\x.txt", "x"));
  EXPECT_TRUE(engine::targetOverlapsSource(summer, root_ + "\\ÉTÉ\\copie"));
  EXPECT_TRUE(engine::targetOverlapsSource(summer, root_ + "\\ÉTÉ"));
  EXPECT_TRUE(engine::targetOverlapsSource(summer + "\\", summer + "\\sub\\."));
  EXPECT_TRUE(engine::targetOverlapsSource(summer + "\\sub", root_));
  EXPECT_TRUE(engine::targetOverlapsSource(summer, root_ + "/x/../été/sub/"));
  EXPECT_FALSE(engine::targetOverlapsSource(summer, target_));
  EXPECT_FALSE(engine::targetOverlapsSource(summer, root_ + "\\été2"));
  const auto before = snapshot(root_);
  EXPECT_EQ(engine::copyFolderTree(summer, root_ + "\\ÉTÉ\\copie", "*.*", kAllFlags), 0);
  EXPECT_EQ(engine::copyFolderTree(summer, summer + "\\sub\\.", "*.*", kAllFlags), 0);
  EXPECT_EQ(engine::copyFolderTree(summer + "\\sub", root_, "*.*", kAllFlags), 0);
  EXPECT_EQ(engine::copyFolderTree(summer, summer, "*.*", kAllFlags), 0);
  EXPECT_EQ(snapshot(root_), before);
}

TEST_P(CopyTreeTest, ADestinationTypedWithATrailingDotOrBlankIsTakenAsTheShellTakesIt) {
  EXPECT_EQ(engine::resolveTypedPath("E:\\Sauvegardes\\dst."), "E:\\Sauvegardes\\dst");
  EXPECT_EQ(engine::resolveTypedPath("E:\\Sauvegardes\\dst. "), "E:\\Sauvegardes\\dst");
  EXPECT_EQ(engine::resolveTypedPath("E:\\a.\\b\\..\\c\\"), "E:\\a\\c\\");
  EXPECT_EQ(engine::resolveTypedPath("E:/Photos/sub/.."), "E:\\Photos");
  EXPECT_EQ(engine::resolveTypedPath("E:\\.."), "E:\\");
  ASSERT_TRUE(writeFile(source_ + "\\a.txt", "a"));
  EXPECT_EQ(engine::copyFolderTree(source_, target_ + ".", "*.*", kAllFlags), 1);
  EXPECT_EQ(readFile(target_ + "\\a.txt"), "a");
  EXPECT_EQ(engine::copyFolderTree(source_ + "\\.", target_ + " ", "*.*", kAllFlags), 1);
  std::vector<std::string> names;
  platform::FolderListing listing;
  platform::TreeEntry entry;
  ASSERT_TRUE(listing.open(root_, "*.*"));
  while (listing.next(entry)) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dst", "src"}));
}

TEST_P(CopyTreeTest, AFailedCopyLeavesAProtectedTargetExactlyAsItWas) {
  ASSERT_TRUE(writeFile(source_ + "\\report.txt", "new"));
  ASSERT_TRUE(makeFolder(target_));
  ASSERT_TRUE(writeFile(target_ + "\\report.txt", "earlier copy"));
  constexpr DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(SetFileAttributesW(wide(target_ + "\\report.txt").c_str(), kProtected));
  const auto before = snapshot(source_);
  const HANDLE lock = CreateFileW(wide(source_ + "\\report.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(copy(), 0);
  CloseHandle(lock);
  EXPECT_EQ(attributesOf(target_ + "\\report.txt") & (kProtected | FILE_ATTRIBUTE_NORMAL),
            kProtected);
  EXPECT_EQ(readFile(target_ + "\\report.txt"), "earlier copy");
  EXPECT_EQ(snapshot(source_), before);
  // Once the file can be read, the protected target is replaced.
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readFile(target_ + "\\report.txt"), "new");
}

TEST_P(CopyTreeTest, AFileOpenForWritingByAnotherProgramIsAFailedElement) {
  ASSERT_TRUE(writeFile(source_ + "\\log.txt", "being written"));
  ASSERT_TRUE(writeFile(source_ + "\\quiet.txt", "still"));
  const auto before = snapshot(source_);
  const HANDLE writer =
      CreateFileW(wide(source_ + "\\log.txt").c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::vector<std::string> failed;
  EXPECT_EQ(engine::copyFolderTree(source_, target_, "*.*", kAllFlags,
                                   [&](const std::string& path, const engine::FailureReason&) {
                                     failed.push_back(path);
                                   }),
            0);
  CloseHandle(writer);
  EXPECT_EQ(snapshot(source_), before);
  EXPECT_EQ(failed, std::vector<std::string>{source_ + "\\log.txt"});
  EXPECT_EQ(attributesOf(target_ + "\\log.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(readFile(target_ + "\\quiet.txt"), "still");
}

// The Windows numbers of the reasons' table, each to its cause.
TEST(FailureCauseTest, WindowsErrorNumbersMapToTheirCauses) {
  using platform::FailureCause;
  const std::pair<DWORD, FailureCause> table[] = {
      {5, FailureCause::accessRefused},
      {32, FailureCause::heldByAnotherProgram},
      {33, FailureCause::heldByAnotherProgram},
      {39, FailureCause::noRoom},
      {112, FailureCause::noRoom},
      {2, FailureCause::notFound},
      {3, FailureCause::notFound},
      {206, FailureCause::nameTooLong},
      {123, FailureCause::invalidName},
      {21, FailureCause::mediumGone},
      {55, FailureCause::mediumGone},
      {1167, FailureCause::mediumGone},
      {53, FailureCause::networkLost},
      {59, FailureCause::networkLost},
      {64, FailureCause::networkLost},
      {67, FailureCause::networkLost},
      {23, FailureCause::mediumError},
      {29, FailureCause::mediumError},
      {30, FailureCause::mediumError},
      {1117, FailureCause::mediumError},
      {19, FailureCause::writeProtected},
      {87, FailureCause::other},
  };
  for (const auto& [number, cause] : table) {
    EXPECT_EQ(platform::failureCause(number), cause) << number;
  }
  EXPECT_EQ(copyjob::failureReasonText(engine::reasonOfError(87)), "erreur système 87");
}

// A file another program holds open without sharing it: the system's
// sharing violation, told in the user's words.
TEST_P(CopyTreeTest, AFileHeldWithoutSharingIsUsedByAnotherProgram) {
  ASSERT_TRUE(writeFile(source_ + "\\tenu.txt", "held"));
  ASSERT_TRUE(writeFile(source_ + "\\libre.txt", "free"));
  const HANDLE holder = CreateFileW(wide(source_ + "\\tenu.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::vector<std::pair<std::string, engine::FailureReason>> failed;
  EXPECT_EQ(
      engine::copyFolderTree(source_, target_, "*.*", kAllFlags,
                             [&](const std::string& path, const engine::FailureReason& reason) {
                               failed.emplace_back(path, reason);
                             }),
      0);
  CloseHandle(holder);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].first, source_ + "\\tenu.txt");
  EXPECT_EQ(failed[0].second.error, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(copyjob::failureReasonText(failed[0].second), "fichier utilisé par un autre programme");
  EXPECT_EQ(readFile(target_ + "\\libre.txt"), "free");
}

// A source that is not there: the system's "not found", told as such.
TEST_P(CopyTreeTest, AMissingSourceIsNotFound) {
  const std::string missing = root_ + "\\absent";
  std::vector<std::pair<std::string, engine::FailureReason>> failed;
  EXPECT_EQ(
      engine::copyFolderTree(missing, target_, "*.*", kAllFlags,
                             [&](const std::string& path, const engine::FailureReason& reason) {
                               failed.emplace_back(path, reason);
                             }),
      0);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_TRUE(failed[0].second.error == ERROR_FILE_NOT_FOUND ||
              failed[0].second.error == ERROR_PATH_NOT_FOUND)
      << failed[0].second.error;
  EXPECT_EQ(copyjob::failureReasonText(failed[0].second), "introuvable");
}

TEST_P(CopyTreeTest, AFolderInTheWayOfAFileIsAFailedElementAndNoTemporaryFileStays) {
  // The complete temporary file, already read-only like its source, cannot be
  // renamed over a folder: it must still be removed.
  ASSERT_TRUE(writeFile(source_ + "\\notes.txt", "notes"));
  ASSERT_TRUE(SetFileAttributesW(wide(source_ + "\\notes.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(writeFile(source_ + "\\other.txt", "other"));
  ASSERT_TRUE(makeFolder(target_));
  ASSERT_TRUE(makeFolder(target_ + "\\notes.txt"));
  ASSERT_TRUE(writeFile(target_ + "\\notes.txt\\inside", "kept"));
  std::vector<std::string> failed;
  EXPECT_EQ(engine::copyFolderTree(source_, target_, "*.*", kAllFlags,
                                   [&](const std::string& path, const engine::FailureReason&) {
                                     failed.push_back(path);
                                   }),
            0);
  EXPECT_EQ(failed, std::vector<std::string>{source_ + "\\notes.txt"});
  EXPECT_NE(attributesOf(target_ + "\\notes.txt") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(readFile(target_ + "\\notes.txt\\inside"), "kept");
  EXPECT_EQ(readFile(target_ + "\\other.txt"), "other");
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
  SetFileAttributesW(wide(source_ + "\\notes.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_P(CopyTreeTest, FailedTreeCallsCarryTheSystemErrorNumber) {
  ASSERT_TRUE(writeFile(source_ + "\\a.txt", "a"));
  ASSERT_TRUE(makeFolder(target_));

  const auto copied = platform::copyWholeFile(source_ + "\\a.txt", target_ + "\\a.txt");
  EXPECT_EQ(copied.outcome, platform::FileCopy::copied);
  EXPECT_EQ(copied.error, 0u);
  const auto missing = platform::copyWholeFile(source_ + "\\none.txt", target_ + "\\none.txt");
  EXPECT_EQ(missing.outcome, platform::FileCopy::failed);
  EXPECT_EQ(missing.error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));

  // Refused at the open, and after the whole copy at the rename over a folder.
  const HANDLE writer =
      CreateFileW(wide(source_ + "\\a.txt").c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const auto shared = platform::copyWholeFile(source_ + "\\a.txt", target_ + "\\b.txt");
  CloseHandle(writer);
  EXPECT_EQ(shared.outcome, platform::FileCopy::failed);
  EXPECT_EQ(shared.error, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  ASSERT_TRUE(makeFolder(target_ + "\\c.txt"));
  const auto blocked = platform::copyWholeFile(source_ + "\\a.txt", target_ + "\\c.txt");
  EXPECT_EQ(blocked.outcome, platform::FileCopy::failed);
  EXPECT_NE(blocked.error, 0u);
  EXPECT_TRUE(temporaryFilesIn(target_).empty());

  const auto orphan = platform::createFolder(root_ + "\\no\\such");
  EXPECT_EQ(orphan.outcome, platform::FolderCreation::failed);
  EXPECT_EQ(orphan.error, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
  const auto existing = platform::createFolder(target_);
  EXPECT_EQ(existing.outcome, platform::FolderCreation::existed);
  EXPECT_EQ(existing.error, 0u);

  platform::FolderListing listing;
  const platform::TreeResult absent = listing.open(root_ + "\\no", "*.*");
  EXPECT_FALSE(absent.ok);
  EXPECT_TRUE(absent.error == ERROR_PATH_NOT_FOUND || absent.error == ERROR_FILE_NOT_FOUND)
      << absent.error;
  const platform::TreeResult present = listing.open(source_, "*.*");
  EXPECT_TRUE(present.ok);
  EXPECT_EQ(present.error, 0u);
}

TEST_P(CopyTreeTest, ASourceFileNamedLikeATemporaryFileKeepsItsCopy) {
  const std::string name = "~ravelund-0123456789abcdef.tmp";
  ASSERT_TRUE(writeFile(source_ + "\\" + name, "a file of the user's"));
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readFile(target_ + "\\" + name), "a file of the user's");
  // Locked this time: its earlier copy is not removed as a leftover.
  const auto before = snapshot(source_);
  const HANDLE lock = CreateFileW(wide(source_ + "\\" + name).c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(copy(), 0);
  CloseHandle(lock);
  EXPECT_EQ(readFile(target_ + "\\" + name), "a file of the user's");
  EXPECT_EQ(snapshot(source_), before);
}

TEST_P(CopyTreeTest, UnixLinksToFoldersAreNeitherEnteredCountedNorCopied) {
  const std::string trees = unixTrees();
  if (trees.empty()) GTEST_SKIP() << "RAVELUND_UNIX_TREES is set by CTest";
  const std::string source = trees + "\\links\\src";
  ASSERT_EQ(readFile(source + "\\a\\data"), "payload");
  // Wine shows the links as folders with a reparse point, which the listing
  // now calls links.
  platform::FolderListing listing;
  platform::TreeEntry entry;
  ASSERT_TRUE(listing.open(source + "\\a", "*.*"));
  int links = 0;
  while (listing.next(entry)) {
    if (entry.name == "up" || entry.name == "sibling") {
      EXPECT_TRUE(entry.folder && entry.link) << entry.name;
      ++links;
    }
  }
  // Through a link, the folder it leads to is known by its identity: what
  // keeps any walk from entering a folder already on its branch.
  platform::PathIdentity listed;
  platform::PathIdentity top;
  platform::PathIdentity throughLink;
  EXPECT_TRUE(listing.identity(listed));
  ASSERT_TRUE(platform::folderIdentity(source, top));
  ASSERT_TRUE(platform::folderIdentity(source + "\\a\\up", throughLink));
  EXPECT_EQ(throughLink, top);
  ASSERT_TRUE(platform::folderIdentity(source + "\\a\\", top));
  EXPECT_EQ(listed, top);
  listing.close();
  EXPECT_EQ(links, 2);
  const auto before = snapshot(source);
  EXPECT_EQ(engine::folderTotalSize(source, "*.*"), 9);
  app::appState().scannedFiles = 0;
  app::appState().scannedFolders = 0;
  EXPECT_EQ(engine::countElements(0, source), 4);  // a, a\data, b, b\x
  EXPECT_EQ(engine::copyFolderTree(source, target_, "*.*", kAllFlags), 1);
  EXPECT_EQ(snapshot(target_),
            (std::map<std::string, std::string>{
                {"\\a\\", ""}, {"\\a\\data", "payload"}, {"\\b\\", ""}, {"\\b\\x", "xx"}}));
  EXPECT_EQ(snapshot(source), before);
}

TEST_P(CopyTreeTest, TwoSourceNamesDifferingOnlyInCaseAreAFailureNotALoss) {
  const std::string trees = unixTrees();
  if (trees.empty()) GTEST_SKIP() << "RAVELUND_UNIX_TREES is set by CTest";
  const std::string source = trees + "\\clash\\src";
  const auto before = snapshot(source);
  ASSERT_EQ(before.size(), 6u);  // both names of each pair are listed
  std::vector<std::string> failed;
  std::vector<std::string> reasons;
  EXPECT_EQ(
      engine::copyFolderTree(source, target_, "*.*", kAllFlags,
                             [&](const std::string& path, const engine::FailureReason& reason) {
                               failed.push_back(path);
                               reasons.push_back(copyjob::failureReasonText(reason));
                             }),
      0);
  // One of each pair is reported; the other arrived, whole and unreplaced.
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(reasons,
            std::vector<std::string>(2, "nom déjà utilisé (majuscules et minuscules confondues)"));
  const auto copied = snapshot(target_);
  EXPECT_EQ(copied.size(), 3u);
  // The target keeps the first name of each pair, with that file's contents.
  for (const auto& [name, contents] : copied) {
    ASSERT_EQ(before.count(name), 1u) << name;
    EXPECT_EQ(contents, before.at(name)) << name;
    const std::string element = source + name;
    EXPECT_EQ(std::find(failed.begin(), failed.end(), element), failed.end()) << name;
  }
  EXPECT_EQ(snapshot(source), before);
}

TEST_P(CopyTreeTest, TheChosenBranchIsTheOneThatCopies) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(writeFile(source_ + "\\f" + std::to_string(i), "f"));
  const int before = platform::win32::testing::systemCopies();
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(platform::win32::testing::systemCopies() - before,
            GetParam() == CopyBranch::systemCopy ? 3 : 0);
}

// The small volume CTest mounts for these tests (a tmpfs of 1 MiB, under a
// drive letter of its own where the prefix allows), or "" without one.
std::string smallVolume() {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(L"RAVELUND_SMALL_VOLUME", value, 4096);
  if (length == 0 || length >= 4096) return {};
  std::string path = narrow(value);
  if (!path.empty() && path.back() == '\\') path.pop_back();
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(widen(path + "\\").c_str(), &available, &total, nullptr) ||
      total.QuadPart > (ULONGLONG{4} << 20)) {
    return {};
  }
  return path;
}

std::uint64_t freeBytesOf(const std::string& folder) {
  ULARGE_INTEGER available{};
  GetDiskFreeSpaceExW(widen(folder + "\\").c_str(), &available, nullptr, nullptr);
  return available.QuadPart;
}

TEST_P(CopyTreeTest, AFileTooLargeForTheVolumeFailsAloneKeepingItsEarlierCopy) {
  const std::string volume = smallVolume();
  if (volume.empty()) {
    GTEST_SKIP() << "no small volume: CTest mounts one (a tmpfs, which needs root) and names it "
                    "in RAVELUND_SMALL_VOLUME";
  }
  const std::string target = volume + "\\copie-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(static_cast<int>(GetParam()));
  ASSERT_TRUE(makeFolder(target));
  std::string large(3 << 20, '\0');
  for (std::size_t i = 0; i < large.size(); i += 512) large[i] = static_cast<char>(i / 512);
  ASSERT_TRUE(writeFile(source_ + "\\grand.bin", large));
  ASSERT_TRUE(makeFolder(source_ + "\\petits"));
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(writeFile(source_ + "\\petits\\p" + std::to_string(i),
                          std::string(20000, static_cast<char>('a' + i))));
  }
  ASSERT_TRUE(writeFile(target + "\\grand.bin", "copie précédente"));
  const std::uint64_t freeBefore = freeBytesOf(target);
  std::vector<std::string> failed;
  std::vector<engine::FailureReason> reasons;
  EXPECT_EQ(
      engine::copyFolderTree(source_, target, "*.*", kAllFlags,
                             [&](const std::string& path, const engine::FailureReason& reason) {
                               failed.push_back(path);
                               reasons.push_back(reason);
                             }),
      0);
  EXPECT_EQ(failed, std::vector<std::string>{source_ + "\\grand.bin"});
  // A full drive: ERROR_DISK_FULL (112) or ERROR_HANDLE_DISK_FULL (39).
  ASSERT_EQ(reasons.size(), 1u);
  EXPECT_TRUE(reasons[0].error == ERROR_DISK_FULL || reasons[0].error == ERROR_HANDLE_DISK_FULL)
      << reasons[0].error;
  EXPECT_EQ(copyjob::failureReasonText(reasons[0]), "espace insuffisant sur la destination");
  // Wine's CopyFileExW leaves what it wrote when a write fails: in the
  // temporary file, which the engine removes; the real name is untouched.
  EXPECT_EQ(readFile(target + "\\grand.bin"), "copie précédente");
  EXPECT_TRUE(temporaryFilesIn(target).empty());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(readFile(target + "\\petits\\p" + std::to_string(i)),
              std::string(20000, static_cast<char>('a' + i)));
  }
  // Only the small files took room: the large one's partial copy gave its back.
  EXPECT_GT(freeBytesOf(target) + 8 * 20000 + 8 * 4096, freeBefore);
  removeTree(target);
}

// The target folder moved away during the copy (as a destination that goes):
// the copy ends at the next file it cannot write, failing what is left as a
// few elements rather than trying every file.
TEST_P(CopyTreeTest, ATargetMovedAwayDuringTheCopyEndsItAndFailsWhatIsLeft) {
  constexpr int kFolders = 30;
  constexpr int kFiles = 30;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string sub = source_ + "\\d" + std::to_string(folder);
    ASSERT_TRUE(makeFolder(sub));
    for (int i = 0; i < kFiles; ++i) {
      ASSERT_TRUE(writeFile(sub + "\\f" + std::to_string(i), "petit fichier"));
    }
  }
  if (GetParam() == CopyBranch::ownLoop) platform::testing::slowCopyChunks(5);
  std::vector<std::string> failed;
  std::atomic<int> result{-1};
  const int thread = platform::startThread(
      [&](int) {
        result = engine::copyFolderTree(
            source_, target_, "*.*", kAllFlags,
            [&](const std::string& path, const engine::FailureReason&) { failed.push_back(path); });
        return 0;
      },
      0);
  ASSERT_NE(thread, 0);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangCeilingMs);
  while (attributesOf(target_ + "\\d2") == INVALID_FILE_ATTRIBUTES &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  const std::string moved = root_ + "\\ailleurs";
  bool wasMoved = false;
  for (int i = 0; i < 200 && !wasMoved; ++i) {
    wasMoved = MoveFileW(wide(target_).c_str(), wide(moved).c_str()) != 0;
    if (!wasMoved) std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(wasMoved) << "error " << GetLastError();
  const auto movedAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(platform::testing::waitAllThreads(kHangCeilingMs));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - movedAt).count(), 5.0);
  EXPECT_EQ(result, 0);
  ASSERT_FALSE(failed.empty());
  // The rest of one folder's files and the folders still waiting, never a
  // failure for every file not copied.
  EXPECT_LE(failed.size(), static_cast<std::size_t>(kFiles + kFolders));
  const std::set<std::string> distinct(failed.begin(), failed.end());
  EXPECT_EQ(distinct.size(), failed.size());
  EXPECT_EQ(attributesOf(target_), INVALID_FILE_ATTRIBUTES);
  // At most the file in flight leaves its temporary file in the moved folder:
  // Wine removes a file by the name it was opened under, which the move
  // changed (Windows refuses to move a folder while a file in it is open).
  // The next copy into that folder clears it.
  std::size_t left = 0;
  for (int folder = 0; folder < kFolders; ++folder) {
    left += temporaryFilesIn(moved + "\\d" + std::to_string(folder)).size();
  }
  EXPECT_LE(left, 1u);
  EXPECT_EQ(engine::copyFolderTree(source_, moved, "*.*", kAllFlags), 1);
  for (int folder = 0; folder < kFolders; ++folder) {
    EXPECT_TRUE(temporaryFilesIn(moved + "\\d" + std::to_string(folder)).empty()) << folder;
  }
}

// Folders and files deleted, renamed and added in the source while it is
// copied: every file that arrives is whole and still in the source, and every
// failure names something the source no longer holds under that name.
TEST_P(CopyTreeTest, ASourceReshapedDuringTheCopyGivesOnlyWholeFilesAndHonestFailures) {
  constexpr int kFolders = 30;
  constexpr int kFiles = 20;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string sub = source_ + "\\d" + std::to_string(folder);
    ASSERT_TRUE(makeFolder(sub));
    for (int i = 0; i < kFiles; ++i) {
      ASSERT_TRUE(
          writeFile(sub + "\\f" + std::to_string(i), sub + " fichier " + std::to_string(i)));
    }
  }
  const auto original = snapshot(source_);
  if (GetParam() == CopyBranch::ownLoop) platform::testing::slowCopyChunks(2);
  std::vector<std::string> failed;
  std::atomic<int> result{-1};
  const int thread = platform::startThread(
      [&](int) {
        result = engine::copyFolderTree(
            source_, target_, "*.*", kAllFlags,
            [&](const std::string& path, const engine::FailureReason&) { failed.push_back(path); });
        return 0;
      },
      0);
  ASSERT_NE(thread, 0);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangCeilingMs);
  int foldersArrived = 0;
  while (foldersArrived < 3 && std::chrono::steady_clock::now() < deadline) {
    foldersArrived = 0;
    for (int folder = 0; folder < kFolders; ++folder) {
      foldersArrived +=
          attributesOf(target_ + "\\d" + std::to_string(folder)) != INVALID_FILE_ATTRIBUTES;
    }
    std::this_thread::sleep_for(1ms);
  }
  // Whichever folders the copy has not reached yet are changed under it.
  for (int folder = 0; folder < kFolders; folder += 3) {
    const std::string sub = source_ + "\\d" + std::to_string(folder);
    switch (folder % 9) {
      case 0:
        removeTree(sub);
        break;
      case 3:
        MoveFileW(wide(sub).c_str(), wide(sub + "-renomme").c_str());
        break;
      default:
        DeleteFileW(wide(sub + "\\f0").c_str());
        writeFile(sub + "\\nouveau", "ajouté");
        break;
    }
  }
  // The changes came while the copy was still under way.
  EXPECT_TRUE(platform::threadRunning(thread));
  ASSERT_TRUE(platform::testing::waitAllThreads(kHangCeilingMs));
  const auto now = snapshot(source_);
  const auto copied = snapshot(target_);
  // What arrived is a whole file of the source, as it was before or after the
  // changes (a folder copied before it was removed stays copied).
  for (const auto& [name, contents] : copied) {
    const bool asBefore = original.count(name) == 1 && original.at(name) == contents;
    const bool asNow = now.count(name) == 1 && now.at(name) == contents;
    EXPECT_TRUE(asBefore || asNow) << name;
  }
  for (const std::string& path : failed) {
    EXPECT_EQ(attributesOf(path), INVALID_FILE_ATTRIBUTES) << path;
  }
  EXPECT_EQ(result, failed.empty() ? 1 : 0);
  const bool same = engine::treeTotals(source_) == engine::treeTotals(target_);
  EXPECT_EQ(same, now == copied);
}

INSTANTIATE_TEST_SUITE_P(Branches, CopyTreeTest,
                         ::testing::Values(CopyBranch::ownLoop, CopyBranch::systemCopy),
                         [](const ::testing::TestParamInfo<CopyBranch>& branch) {
                           return std::string(branch.param == CopyBranch::systemCopy ? "SystemCopy"
                                                                                     : "OwnLoop");
                         });

TEST(CopyPathTest, DriveRootsAndPathsWithoutTrailingSeparator) {
  EXPECT_EQ(engine::jobFolderName("C:\\Données\\Photos\\"), "Photos");
  EXPECT_EQ(engine::jobFolderName("C:\\Données\\Photos"), "Photos");
  EXPECT_EQ(engine::jobFolderName("C:/Données/Photos/"), "Photos");
  EXPECT_EQ(engine::jobFolderName("D:\\"), "D");
  EXPECT_EQ(engine::jobFolderName("d:"), "d");
  EXPECT_EQ(engine::jobFolderName("\\\\serveur\\partage\\"), "partage");
  EXPECT_EQ(engine::copyTargetPath("E:\\Sauvegardes", "C:\\Données\\Photos"),
            "E:\\Sauvegardes\\Photos\\");
  EXPECT_EQ(engine::copyTargetPath("E:\\", "D:\\"), "E:\\D\\");
}

}  // namespace
