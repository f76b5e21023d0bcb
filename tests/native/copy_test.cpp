// The recursive folder copy, the copy thread and the whole-file copy under
// them, on real temporary trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/state.h"
#include "engine/engine.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "platform/tree.h"
#include "platform/ui.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr unsigned kAllFlags = engine::kRecurse | engine::kResetTargetAttributes;

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

// Every file and folder below `top` (links as links), with file contents.
std::map<std::string, std::string> treeOf(const fs::path& top) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string relative = fs::relative(it->path(), top).string();
    if (it->is_symlink()) {
      tree[relative] = "link";
    } else if (it->is_directory()) {
      tree[relative + "/"] = "";
    } else {
      tree[relative] = readAll(it->path());
    }
  }
  return tree;
}

std::vector<std::string> temporaryFilesIn(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (platform::isCopyTemporaryName(name)) found.push_back(name);
  }
  return found;
}

class CopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::resetAppState();
    platform::headless::reset();
    std::random_device seed;
    root_ = fs::temp_directory_path() / ("ravelund-copy-" + std::to_string(seed()));
    source_ = root_ / "src";
    target_ = root_ / "dst";
    fs::create_directories(source_);
  }
  void TearDown() override {
    platform::testing::slowCopyChunks(0);
    std::error_code ignored;
    fs::permissions(root_, fs::perms::all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
    platform::headless::reset();
  }
  int copy(unsigned flags = kAllFlags, const std::string& pattern = "*.*") {
    return engine::copyFolderTree(source_.string(), target_.string(), pattern, flags);
  }

  fs::path root_;
  fs::path source_;
  fs::path target_;
};

TEST_F(CopyTest, CopiesTheWholeTreeByteForByteWithTimesAndReadOnlyFiles) {
  writeFile(source_ / "empty", "");
  writeFile(source_ / "chunk+1", randomBytes(platform::kCopyChunkBytes + 1, 1));
  writeFile(source_ / "three-chunks", randomBytes(3 * platform::kCopyChunkBytes, 2));
  fs::create_directories(source_ / "a" / "b" / "empty-folder");
  writeFile(source_ / "a" / "b" / "deep.txt", "deep");
  writeFile(source_ / "a" / ".hidden", "h");
  writeFile(source_ / "readonly", "r");
  fs::permissions(source_ / "readonly", fs::perms::owner_read | fs::perms::group_read);
  const auto stamp = fs::file_time_type::clock::now() - 240h;
  fs::last_write_time(source_ / "a" / "b" / "deep.txt", stamp);

  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(treeOf(target_), treeOf(source_));
  EXPECT_EQ(fs::last_write_time(target_ / "a" / "b" / "deep.txt"), stamp);
  // A read-only file stays read-only (other bits go through the umask, as for
  // any new file).
  const fs::perms copied = fs::status(target_ / "readonly").permissions();
  EXPECT_EQ(copied & (fs::perms::owner_read | fs::perms::owner_write), fs::perms::owner_read);
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

TEST_F(CopyTest, MergesIntoAnEarlierCopyReplacingReadOnlyTargets) {
  writeFile(source_ / "same", "new contents");
  writeFile(source_ / "protected", "new protected");
  fs::create_directories(target_);
  writeFile(target_ / "same", "old");
  writeFile(target_ / "only-in-target", "keep me");
  writeFile(target_ / "protected", "old protected");
  fs::permissions(target_ / "protected", fs::perms::owner_read);

  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readAll(target_ / "same"), "new contents");
  EXPECT_EQ(readAll(target_ / "protected"), "new protected");
  EXPECT_EQ(readAll(target_ / "only-in-target"), "keep me");
  EXPECT_EQ(copy(), 1);  // a second run over the finished copy succeeds again
}

TEST_F(CopyTest, FailsWithoutTouchingAnythingWhenSourceOrTargetIsUnusable) {
  writeFile(source_ / "f", "x");
  writeFile(target_, "a file where the folder should go");
  EXPECT_EQ(copy(), 0);
  EXPECT_EQ(readAll(target_), "a file where the folder should go");

  target_ = root_ / "missing-parent" / "dst";
  EXPECT_EQ(copy(), 0);
  EXPECT_FALSE(fs::exists(root_ / "missing-parent"));

  target_ = root_ / "dst2";
  source_ = root_ / "no-such-source";
  EXPECT_EQ(copy(), 0);
  EXPECT_FALSE(fs::exists(target_));  // nothing is created for an unreadable source
  EXPECT_EQ(engine::copyFolderTree("", target_.string(), "*.*", kAllFlags), 0);
  EXPECT_EQ(engine::copyFolderTree((root_ / "src").string(), "", "*.*", kAllFlags), 0);
}

TEST_F(CopyTest, AFileThatCannotBeReadIsSkippedAndTheRestArrives) {
  for (int i = 0; i < 5; ++i) writeFile(source_ / ("file" + std::to_string(i)), "ok");
  fs::create_symlink(root_ / "vanished", source_ / "dangling");
  EXPECT_EQ(copy(), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(readAll(target_ / ("file" + std::to_string(i))), "ok");
  EXPECT_FALSE(fs::exists(fs::symlink_status(target_ / "dangling")));
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

TEST_F(CopyTest, AFileWithoutReadPermissionIsSkippedAndTheRestArrives) {
  writeFile(source_ / "secret", "s");
  writeFile(source_ / "public", "p");
  fs::permissions(source_ / "secret", fs::perms::none);
  if (std::ifstream(source_ / "secret").is_open()) {
    GTEST_SKIP() << "running with the right to read any file (root)";
  }
  EXPECT_EQ(copy(), 0);
  EXPECT_EQ(readAll(target_ / "public"), "p");
  EXPECT_FALSE(fs::exists(target_ / "secret"));
}

TEST_F(CopyTest, UnicodeNamesAndPathsPastTwoHundredSixtyCharacters) {
  fs::path deep = source_;
  for (int i = 0; i < 10; ++i) deep /= "Dossier numéro " + std::to_string(i) + " 写真";
  fs::create_directories(deep);
  ASSERT_GT(deep.string().size(), 260u);
  writeFile(deep / "\xF0\x9F\x93\xB7 été.jpg", "emoji");
  writeFile(source_ / "Ωmega", "greek");
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(treeOf(target_), treeOf(source_));
}

TEST_F(CopyTest, LinksToFoldersAreNotFollowedAndLinksToFilesArriveAsFiles) {
  fs::create_directories(source_ / "a");
  writeFile(source_ / "a" / "data", "payload");
  fs::create_directory_symlink("..", source_ / "a" / "up");
  fs::create_symlink("data", source_ / "a" / "data-link");
  EXPECT_EQ(copy(), 1);
  EXPECT_FALSE(fs::exists(fs::symlink_status(target_ / "a" / "up")));
  EXPECT_FALSE(fs::is_symlink(target_ / "a" / "data-link"));
  EXPECT_EQ(readAll(target_ / "a" / "data-link"), "payload");
}

TEST_F(CopyTest, ATargetThatIsInsideOrContainsTheSourceIsToldByIdentity) {
  fs::create_directories(source_ / "sub" / "deeper");
  fs::create_directories(root_ / "src2");
  fs::create_directory_symlink(source_, root_ / "link-to-src");
  const std::string src = source_.string();
  const auto overlaps = [&](const std::string& target) {
    return engine::targetOverlapsSource(src, target);
  };
  EXPECT_TRUE(overlaps(src));
  EXPECT_TRUE(overlaps(src + "/"));
  EXPECT_TRUE(overlaps(src + "/sub/deeper"));
  EXPECT_TRUE(overlaps(src + "/sub/."));
  EXPECT_TRUE(overlaps(src + "/sub/.."));
  EXPECT_TRUE(overlaps(root_.string() + "/src2/../src/sub"));
  EXPECT_TRUE(overlaps(src + "/not/yet/made"));  // would be made inside the source
  EXPECT_TRUE(overlaps((root_ / "link-to-src" / "sub").string()));
  EXPECT_TRUE(overlaps(root_.string()));  // contains it
  EXPECT_TRUE(overlaps("/"));
  EXPECT_TRUE(engine::targetOverlapsSource(src + "/sub/deeper", (root_ / "link-to-src").string()));
  // Neighbours, even with a name that starts like the source's, do not.
  EXPECT_FALSE(overlaps((root_ / "src2").string()));
  EXPECT_FALSE(overlaps((root_ / "dst").string()));
  EXPECT_FALSE(overlaps(root_.string() + "/src2/new"));
  EXPECT_FALSE(engine::targetOverlapsSource((root_ / "missing").string(), root_.string()));
}

// Every file below `top` with its contents, and every folder: what must be
// the same byte for byte after a job that was refused or failed.
std::map<std::string, std::string> snapshot(const fs::path& top) { return treeOf(top); }

TEST_F(CopyTest, ACopyIntoItselfIsRefusedAndWritesNothing) {
  // R/Photos holding Photos/, copied into R/Photos/Photos: a folder of the
  // source would receive the top-level files.
  const fs::path photos = root_ / "Photos";
  fs::create_directories(photos / "Photos");
  writeFile(photos / "a.jpg", "top");
  writeFile(photos / "Photos" / "a.jpg", "inner");
  auto before = snapshot(root_);
  EXPECT_EQ(engine::copyFolderTree(photos.string(), (photos / "Photos").string(), "*.*", kAllFlags),
            0);
  EXPECT_EQ(snapshot(root_), before);

  // R/P/P copied into R/P: the target holds the source.
  const fs::path inner = root_ / "P" / "P";
  fs::create_directories(inner);
  writeFile(inner / "P", "source file");
  writeFile(root_ / "P" / "other", "keep");
  before = snapshot(root_);
  EXPECT_EQ(engine::copyFolderTree(inner.string(), (root_ / "P").string(), "*.*", kAllFlags), 0);
  EXPECT_EQ(engine::copyFolderTree(inner.string(), root_.string(), "*.*", kAllFlags), 0);
  // Spelled with "." and "..", or onto itself.
  EXPECT_EQ(copy(kAllFlags), 1);  // an ordinary copy still works
  before = snapshot(root_);
  target_ = source_ / ".";
  EXPECT_EQ(copy(), 0);
  target_ = root_ / "dst" / ".." / "src" / "new";
  EXPECT_EQ(copy(), 0);
  target_ = source_;
  EXPECT_EQ(copy(), 0);
  EXPECT_EQ(snapshot(root_), before);
}

TEST_F(CopyTest, TheChosenCopyRefusesADestinationInsideTheSource) {
  fs::create_directories(source_ / "backup");
  writeFile(source_ / "f", "1");
  const auto before = snapshot(root_);
  EXPECT_EQ(engine::copyChosenFolder(source_.string() + "/", (source_ / "backup").string() + "/"),
            0);
  EXPECT_EQ(snapshot(root_), before);
}

TEST_F(CopyTest, TypedPathsAreResolvedBeforeTheCopyIsNamed) {
  EXPECT_EQ(engine::resolveTypedPath("/data/Photos/sub/.."), "/data/Photos");
  EXPECT_EQ(engine::resolveTypedPath("/data/Photos/."), "/data/Photos");
  EXPECT_EQ(engine::resolveTypedPath("/data//Photos/./sub/../"), "/data/Photos/");
  EXPECT_EQ(engine::resolveTypedPath("/.."), "/");
  EXPECT_EQ(engine::resolveTypedPath("../a/./b/../c"), "../a/c");
  EXPECT_EQ(engine::resolveTypedPath("a/.."), ".");
  EXPECT_EQ(engine::resolveTypedPath("/data/dst."), "/data/dst.");  // a name of its own here
  EXPECT_EQ(engine::resolveTypedPath(""), "");

  fs::create_directories(source_ / "Photos" / "sub");
  writeFile(source_ / "Photos" / "img.jpg", "jpeg");
  fs::create_directories(target_ / "inner");
  const std::map<std::string, std::string> expected = {
      {"Photos/", ""}, {"Photos/img.jpg", "jpeg"}, {"Photos/sub/", ""}};
  // ".../Photos/sub/.." is Photos: the copy lands in dst/Photos, not in dst's parent.
  const std::string destination = target_.string() + "/inner/..";
  EXPECT_EQ(engine::copyChosenFolder((source_ / "Photos" / "sub").string() + "/..", destination),
            1);
  auto landed = snapshot(target_);
  landed.erase("inner/");
  EXPECT_EQ(landed, expected);
  EXPECT_FALSE(fs::exists(root_ / "sub"));
  EXPECT_FALSE(fs::exists(root_ / "img.jpg"));
  // ".../Photos/." is Photos too.
  fs::remove_all(target_ / "Photos");
  EXPECT_EQ(engine::copyChosenFolder((source_ / "Photos").string() + "/.", destination), 1);
  landed = snapshot(target_);
  landed.erase("inner/");
  EXPECT_EQ(landed, expected);
}

TEST_F(CopyTest, AFailedCopyLeavesAReadOnlyTargetExactlyAsItWas) {
  fs::create_directories(target_);
  writeFile(target_ / "f", "earlier copy");
  fs::permissions(target_ / "f", fs::perms::owner_read | fs::perms::group_read);
  const auto stamp = fs::last_write_time(target_ / "f");
  fs::create_symlink(root_ / "vanished", source_ / "f");  // cannot be read
  const auto sourceBefore = snapshot(source_);
  EXPECT_EQ(copy(), 0);
  EXPECT_EQ(fs::status(target_ / "f").permissions(), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(readAll(target_ / "f"), "earlier copy");
  EXPECT_EQ(fs::last_write_time(target_ / "f"), stamp);
  EXPECT_EQ(snapshot(source_), sourceBefore);
}

TEST_F(CopyTest, EachFailedElementIsToldByItsSourcePath) {
  writeFile(source_ / "good", "g");
  fs::create_symlink(root_ / "vanished", source_ / "dangling");
  fs::create_directories(source_ / "sub");
  fs::create_directories(target_);
  writeFile(target_ / "sub", "a file where the folder should go");
  const auto before = snapshot(source_);
  std::vector<std::string> failed;
  EXPECT_EQ(engine::copyFolderTree(source_.string(), target_.string(), "*.*", kAllFlags,
                                   [&](const std::string& path, const engine::FailureReason&) {
                                     failed.push_back(path);
                                   }),
            0);
  std::sort(failed.begin(), failed.end());
  EXPECT_EQ(failed, (std::vector<std::string>{(source_ / "dangling").string(),
                                              (source_ / "sub").string() + "/"}));
  EXPECT_EQ(readAll(target_ / "good"), "g");
  EXPECT_EQ(snapshot(source_), before);
}

TEST_F(CopyTest, ASourceFileNamedLikeATemporaryFileIsCopiedAndItsCopyKept) {
  const std::string name = "~ravelund-0123456789abcdef.tmp";
  ASSERT_TRUE(platform::isCopyTemporaryName(name));
  writeFile(source_ / name, "a file of the user's");
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(readAll(target_ / name), "a file of the user's");
  EXPECT_EQ(copy(), 1);  // an earlier copy into that folder: the file stays
  EXPECT_EQ(readAll(target_ / name), "a file of the user's");
  // A source file of that name that cannot be read this time: its earlier copy
  // is not removed as a leftover.
  fs::remove(source_ / name);
  fs::create_symlink(root_ / "vanished", source_ / name);
  const auto before = snapshot(source_);
  EXPECT_EQ(copy(), 0);
  EXPECT_EQ(readAll(target_ / name), "a file of the user's");
  EXPECT_EQ(snapshot(source_), before);
}

TEST_F(CopyTest, HolesOfASparseFileStayHoles) {
  const fs::path sparse = source_ / "sparse";
  {
    std::ofstream out(sparse, std::ios::binary);
    out << "head";
    out.seekp(platform::kCopyChunkBytes);
    out << "middle";
    out.seekp(2 * platform::kCopyChunkBytes);
    out << "tail";
  }
  fs::resize_file(sparse, 3 * platform::kCopyChunkBytes);  // a hole at the end too
  struct stat info {};
  ASSERT_EQ(stat(sparse.c_str(), &info), 0);
  if (info.st_blocks * 512 >= info.st_size) GTEST_SKIP() << "this file system makes no holes";
  EXPECT_EQ(copy(), 1);
  struct stat copied {};
  ASSERT_EQ(stat((target_ / "sparse").c_str(), &copied), 0);
  EXPECT_EQ(copied.st_size, info.st_size);
  EXPECT_LE(copied.st_blocks, info.st_blocks + 64);  // 32 KiB of slack
  EXPECT_TRUE(readAll(target_ / "sparse") == readAll(sparse));
}

TEST_F(CopyTest, AFileWrittenWhileItIsCopiedIsNotReportedAsCopied) {
  const std::string large = randomBytes(8 * platform::kCopyChunkBytes, 5);
  writeFile(source_ / "growing", large);
  fs::create_directories(target_);
  writeFile(target_ / "growing", "previous version");
  platform::testing::slowCopyChunks(30);
  std::vector<std::string> failed;
  const int thread = platform::startThread(
      [&](int) {
        return engine::copyFolderTree(
            source_.string(), target_.string(), "*.*", kAllFlags,
            [&](const std::string& path, const engine::FailureReason&) { failed.push_back(path); });
      },
      0);
  ASSERT_NE(thread, 0);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(platform::headless::kHangCeilingMs);
  std::vector<std::string> temporary;
  while (std::chrono::steady_clock::now() < deadline) {
    temporary = temporaryFilesIn(target_);
    if (!temporary.empty() && fs::file_size(target_ / temporary[0]) >= platform::kCopyChunkBytes) {
      break;
    }
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(temporary.size(), 1u);
  std::ofstream(source_ / "growing", std::ios::binary | std::ios::app) << "more";
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_EQ(failed, std::vector<std::string>{(source_ / "growing").string()});
  EXPECT_EQ(readAll(target_ / "growing"), "previous version");
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

TEST_F(CopyTest, WithoutRecurseSubFoldersAreSkippedAndThePatternFilters) {
  writeFile(source_ / "a.txt", "a");
  writeFile(source_ / "b.jpg", "b");
  fs::create_directories(source_ / "sub");
  writeFile(source_ / "sub" / "c.txt", "c");
  EXPECT_EQ(copy(engine::kResetTargetAttributes), 1);
  EXPECT_TRUE(fs::exists(target_ / "b.jpg"));
  EXPECT_FALSE(fs::exists(target_ / "sub"));
  fs::remove_all(target_);
  EXPECT_EQ(copy(kAllFlags, "*.txt"), 1);
  EXPECT_TRUE(fs::exists(target_ / "a.txt"));
  EXPECT_FALSE(fs::exists(target_ / "b.jpg"));
  EXPECT_FALSE(fs::exists(target_ / "sub"));
}

TEST_F(CopyTest, TwoThousandFoldersDeepAreCopied) {
  // Paths past the kernel's 4096 bytes: built and read back through the file
  // layer, which reaches such paths piece by piece.
  std::string relative;
  for (int i = 0; i < 2000; ++i) {
    relative += "/dossier";
    ASSERT_EQ(platform::createFolder(source_.string() + relative),
              platform::FolderCreation::created);
  }
  writeFile(root_ / "bottom", "end");
  ASSERT_EQ(
      platform::copyWholeFile((root_ / "bottom").string(), source_.string() + relative + "/f"),
      platform::FileCopy::copied);
  EXPECT_EQ(copy(), 1);
  EXPECT_EQ(platform::copyWholeFile(target_.string() + relative + "/f", (root_ / "back").string()),
            platform::FileCopy::copied);
  EXPECT_EQ(readAll(root_ / "back"), "end");
  EXPECT_EQ(engine::folderTotalSize(target_.string(), "*.*"), 3);
}

TEST_F(CopyTest, AStopInTheMiddleOfAFileKeepsThePreviousVersion) {
  const std::string large = randomBytes(48 * platform::kCopyChunkBytes, 3);
  writeFile(source_ / "large", large);
  fs::create_directories(target_);
  writeFile(target_ / "large", "previous version");
  platform::testing::slowCopyChunks(20);

  const int thread = platform::startThread(
      [this](int) {
        return engine::copyFolderTree(source_.string(), target_.string(), "*.*", kAllFlags);
      },
      0);
  ASSERT_NE(thread, 0);
  // Wait until the copy is well into the file.
  std::vector<std::string> temporary;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(platform::headless::kHangCeilingMs);
  while (std::chrono::steady_clock::now() < deadline) {
    temporary = temporaryFilesIn(target_);
    if (!temporary.empty() &&
        fs::file_size(target_ / temporary[0]) >= 2 * platform::kCopyChunkBytes) {
      break;
    }
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(temporary.size(), 1u);
  platform::pauseThread(thread);
  // Within a chunk the copy waits at its checkpoint, and the file stops
  // growing while it is paused.
  ASSERT_TRUE(platform::testing::waitUntilHeld(thread, platform::headless::kHangCeilingMs));
  const auto sizeWhenPaused = fs::file_size(target_ / temporary[0]);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(fs::file_size(target_ / temporary[0]), sizeWhenPaused);
  EXPECT_LT(sizeWhenPaused, large.size());
  EXPECT_TRUE(platform::threadRunning(thread));

  platform::stopThread(thread);
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_EQ(readAll(target_ / "large"), "previous version");
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

TEST_F(CopyTest, AProcessKilledInTheMiddleOfAFileLeavesThePreviousVersion) {
  const std::string large = randomBytes(16 * platform::kCopyChunkBytes, 4);
  writeFile(source_ / "large", large);
  fs::create_directories(target_);
  writeFile(target_ / "large", "previous version");
  // The child process copies slowly and ends abruptly, with no clean-up at all,
  // once the temporary file holds a few chunks.
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        platform::testing::slowCopyChunks(20);
        platform::startThread(
            [this](int) {
              return engine::copyFolderTree(source_.string(), target_.string(), "*.*", kAllFlags);
            },
            0);
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(platform::headless::kHangCeilingMs);
        while (std::chrono::steady_clock::now() < deadline) {
          const auto found = temporaryFilesIn(target_);
          if (!found.empty() &&
              fs::file_size(target_ / found[0]) >= 3 * platform::kCopyChunkBytes) {
            std::_Exit(3);
          }
          std::this_thread::sleep_for(1ms);
        }
        std::_Exit(4);
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(readAll(target_ / "large"), "previous version");
  ASSERT_EQ(temporaryFilesIn(target_).size(), 1u);

  EXPECT_EQ(copy(), 1);
  EXPECT_TRUE(readAll(target_ / "large") == large);
  EXPECT_TRUE(temporaryFilesIn(target_).empty());
}

TEST_F(CopyTest, ALeftoverFromAKilledCopyIsClearedByTheNextCopy) {
  writeFile(source_ / "file", "complete");
  fs::create_directories(target_ / "sub");
  fs::create_directories(source_ / "sub");
  const std::string leftover = "~ravelund-00000000deadbeef.tmp";
  ASSERT_TRUE(platform::isCopyTemporaryName(leftover));
  writeFile(target_ / leftover, "half");
  writeFile(target_ / "sub" / leftover, "half");
  writeFile(target_ / "~ravelund-notours.tmp", "user's own");
  EXPECT_EQ(copy(), 1);
  EXPECT_FALSE(fs::exists(target_ / leftover));
  EXPECT_FALSE(fs::exists(target_ / "sub" / leftover));
  EXPECT_TRUE(fs::exists(target_ / "~ravelund-notours.tmp"));
  EXPECT_EQ(readAll(target_ / "file"), "complete");
}

TEST_F(CopyTest, TheChosenCopyLandsUnderTheSourceFolderName) {
  fs::create_directories(source_ / "Photos" / "2024");
  writeFile(source_ / "Photos" / "2024" / "img.jpg", "jpeg");
  fs::create_directories(target_);
  // Typed by hand: no trailing separator on either field.
  EXPECT_EQ(engine::copyChosenFolder((source_ / "Photos").string(), target_.string()), 1);
  EXPECT_EQ(readAll(target_ / "Photos" / "2024" / "img.jpg"), "jpeg");
}

TEST_F(CopyTest, TheCopyThreadCopiesIntoTheTargetItIsGivenAndTellsEachFailure) {
  fs::create_directories(source_ / "sub");
  writeFile(source_ / "sub" / "f", "data");
  fs::create_symlink(root_ / "vanished", source_ / "broken");  // cannot be read
  fs::create_directories(target_);
  std::vector<std::string> failed;
  EXPECT_EQ(engine::copyThreadMain(source_.string() + "/", (target_ / "job").string() + "/",
                                   [&](const std::string& path, const engine::FailureReason&) {
                                     failed.push_back(path);
                                   }),
            0);
  EXPECT_EQ(readAll(target_ / "job" / "sub" / "f"), "data");
  EXPECT_EQ(failed, std::vector<std::string>{source_.string() + "/broken"});
}

TEST(CopyPathTest, TheJobFolderIsNamedAfterTheLastFolderOfTheSource) {
  EXPECT_EQ(engine::jobFolderName("/home/ana/Photos/"), "Photos");
  EXPECT_EQ(engine::jobFolderName("/home/ana/Photos"), "Photos");
  EXPECT_EQ(engine::jobFolderName("/home/ana/Photos//"), "Photos");
  EXPECT_EQ(engine::jobFolderName("Photos"), "Photos");
  EXPECT_EQ(engine::jobFolderName("/"), "racine");
  EXPECT_EQ(engine::jobFolderName(""), "");
  EXPECT_EQ(engine::copyTargetPath("/media/usb", "/home/ana/Photos"), "/media/usb/Photos/");
  EXPECT_EQ(engine::copyTargetPath("/media/usb/", "/home/ana/Photos/"), "/media/usb/Photos/");
  EXPECT_EQ(engine::copyTargetPath("", "/home/ana/Photos/"), "");
  EXPECT_EQ(engine::copyTargetPath("/media/usb/", ""), "");
}

}  // namespace
