// The element count and the total-size walk, on real temporary trees.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/state.h"
#include "engine/engine.h"
#include "platform/headless/headless.h"
#include "platform/tree.h"
#include "platform/ui.h"

namespace fs = std::filesystem;

namespace {

class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::resetAppState();
    platform::headless::reset();
    platform::openWindow(app::kMainWindow, {"Ravelund", 600, 400});
    platform::createControl(app::kMainWindow, {app::kSourceInfoLine, platform::ControlKind::label,
                                               0, 0, 100, 20, "", 0});
    std::random_device seed;
    root_ = fs::temp_directory_path() / ("ravelund-walk-" + std::to_string(seed()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    platform::headless::reset();
  }
  static void write(const fs::path& file, std::size_t size) {
    std::ofstream(file, std::ios::binary) << std::string(size, 'x');
  }
  std::string text(const fs::path& path) const { return path.string(); }

  fs::path root_;
};

TEST_F(WalkTest, CountsFilesAndSubFoldersLiveAndEndsOnTheTotal) {
  for (const char* name : {"a.txt", "b.jpg", "c"}) write(root_ / name, 10);
  fs::create_directory(root_ / "empty");
  fs::create_directory(root_ / "full");
  for (const char* name : {"1", "2", "3", "4"}) write(root_ / "full" / name, 1);

  // Each element met is told at once, the running counts growing by one.
  std::vector<std::pair<std::int32_t, std::int32_t>> told;
  EXPECT_EQ(engine::countElements(0, text(root_),
                                  [&](std::int32_t files, std::int32_t folders) {
                                    told.emplace_back(files, folders);
                                  }),
            9);
  ASSERT_EQ(told.size(), 9u);
  for (std::size_t i = 0; i < told.size(); ++i) {
    EXPECT_EQ(told[i].first + told[i].second, static_cast<std::int32_t>(i + 1));
    if (i > 0) {
      EXPECT_GE(told[i].first, told[i - 1].first);
      EXPECT_GE(told[i].second, told[i - 1].second);
    }
  }
  EXPECT_EQ(told.back(), std::make_pair(7, 2));
  // The count itself writes nothing into the window.
  EXPECT_TRUE(platform::headless::textHistory(app::kSourceInfoLine).empty());
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), 34);

  // Every count starts from nothing: the scan keeps its own counters.
  EXPECT_EQ(engine::countElements(0, text(root_ / "full")), 4);
}

TEST_F(WalkTest, EmptyFoldersCountButWeighNothing) {
  EXPECT_EQ(engine::countElements(0, text(root_)), 0);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), 0);
  fs::create_directories(root_ / "x" / "y");
  fs::create_directory(root_ / "z");
  EXPECT_EQ(engine::countElements(0, text(root_) + "/"), 3);
  EXPECT_EQ(engine::folderTotalSize(text(root_) + "/", ""), 0);
}

TEST_F(WalkTest, MissingFolderGivesNothing) {
  EXPECT_EQ(engine::countElements(0, text(root_ / "missing")), 0);
  EXPECT_EQ(engine::folderTotalSize(text(root_ / "missing"), "*.*"), 0);
  EXPECT_EQ(engine::folderTotalSize("", "*.*"), 0);
}

TEST_F(WalkTest, SizesPastFourGibibytesAreAddedWhole) {
  fs::create_directory(root_ / "big");
  const std::uint64_t huge = (std::uint64_t{5} << 30) + 123;  // sparse: no disk used
  { std::ofstream(root_ / "big" / "disk.img"); }
  fs::resize_file(root_ / "big" / "disk.img", huge);
  write(root_ / "small", 7);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), static_cast<std::int64_t>(huge + 7));
}

TEST_F(WalkTest, PatternFiltersFilesAndTheFoldersEntered) {
  write(root_ / "a.txt", 1);
  write(root_ / "B.TXT", 2);
  write(root_ / "c.jpg", 4);
  fs::create_directory(root_ / "notes.txt");
  write(root_ / "notes.txt" / "d.txt", 8);
  write(root_ / "notes.txt" / "e.jpg", 16);
  fs::create_directory(root_ / "photos");
  write(root_ / "photos" / "f.txt", 32);  // its folder does not match: not visited
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.txt"), 1 + 2 + 8);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "?.jpg"), 4);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*"), 63);
}

TEST_F(WalkTest, NamesOutsideWindows1252AndLongPathsAreCountedAndMeasured) {
  fs::path deep = root_;
  for (int i = 0; i < 12; ++i) deep /= std::string(30, static_cast<char>('a' + i));
  fs::create_directories(deep);
  ASSERT_GT(deep.string().size(), 300u);
  write(deep / "Données été.txt", 5);
  write(deep / "写真アルバム.jpg", 6);
  write(root_ / "\xF0\x9F\x93\xB7 photo.png", 7);  // U+1F4F7, outside the BMP
  EXPECT_EQ(engine::countElements(0, text(root_)), 12 + 3);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), 18);
}

TEST_F(WalkTest, LinksToFoldersAreLeftOutSoALoopEnds) {
  fs::create_directories(root_ / "a" / "b");
  write(root_ / "a" / "b" / "data", 100);
  fs::create_directory_symlink("..", root_ / "a" / "b" / "up");         // to its parent
  fs::create_directory_symlink(root_, root_ / "a" / "root");            // to the top
  fs::create_symlink(root_ / "a" / "b" / "data", root_ / "data-link");  // to a file
  fs::create_symlink(root_ / "gone", root_ / "dangling");
  // a, b, data, data-link (a file: counted with its target's size), dangling.
  EXPECT_EQ(engine::countElements(0, text(root_)), 5);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), 200);
}

TEST_F(WalkTest, TwoThousandFoldersDeepNeedNoDeepStack) {
  // Past 4096 bytes the path is more than the kernel takes in one piece:
  // the tree is built through the file layer, which handles such paths.
  std::string path = text(root_);
  for (int i = 0; i < 2000; ++i) {
    path += "/dossier";
    ASSERT_EQ(platform::createFolder(path), platform::FolderCreation::created) << i;
  }
  write(root_ / "bottom", 42);
  ASSERT_EQ(platform::copyWholeFile(text(root_ / "bottom"), path + "/bottom"),
            platform::FileCopy::copied);
  EXPECT_EQ(engine::countElements(0, text(root_)), 2002);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), 84);
}

// The listing under the walks.
// The walks keep the folders of the current branch open and list each folder
// relative to them; going back up and down other branches, past more levels
// than are held, must still reach every folder exactly once.
TEST_F(WalkTest, BranchesDeeperThanTheFoldersHeldOpenAreAllWalked) {
  std::int64_t expectedSize = 0;
  int expectedElements = 0;
  for (const char* branch : {"a", "b", "c"}) {
    fs::path folder = root_ / branch;
    for (int depth = 0; depth < 150; ++depth) {
      fs::create_directories(folder);
      ++expectedElements;
      if (depth % 50 == 49) {
        write(folder / "f", static_cast<std::size_t>(depth));
        expectedSize += depth;
        ++expectedElements;
      }
      folder /= "n" + std::to_string(depth);
    }
  }
  // Names that share a prefix with a walked folder must not be taken for its children.
  fs::create_directory(root_ / "a2");
  write(root_ / "a2" / "g", 7);
  expectedSize += 7;
  expectedElements += 2;
  EXPECT_EQ(engine::countElements(0, text(root_)), expectedElements);
  EXPECT_EQ(engine::folderTotalSize(text(root_), "*.*"), expectedSize);
  EXPECT_EQ(engine::folderTotalSize(text(root_ / "b"), "*.*"), 49 + 99 + 149);
}

TEST(TreeTest, ListingGivesKindsSizesAndAttributes) {
  const fs::path root =
      fs::temp_directory_path() / ("ravelund-tree-" + std::to_string(std::random_device()()));
  fs::create_directories(root / "sub");
  std::ofstream(root / "file", std::ios::binary) << "12345";
  std::ofstream(root / ".hidden") << "";
  fs::permissions(root / "file", fs::perms::owner_write, fs::perm_options::remove);

  platform::FolderListing listing;
  ASSERT_TRUE(listing.open(root.string(), "*.*"));
  platform::TreeEntry entry;
  int seen = 0;
  while (listing.next(entry)) {
    ++seen;
    if (entry.name == "sub") {
      EXPECT_TRUE(entry.folder);
      EXPECT_EQ(entry.attributes & platform::kAttributeFolder, platform::kAttributeFolder);
    } else if (entry.name == "file") {
      EXPECT_FALSE(entry.folder);
      EXPECT_EQ(entry.size, 5u);
      EXPECT_EQ(entry.attributes, platform::kAttributeReadOnly);
    } else {
      EXPECT_EQ(entry.name, ".hidden");
      EXPECT_EQ(entry.attributes & platform::kAttributeHidden, platform::kAttributeHidden);
    }
  }
  EXPECT_EQ(seen, 3);  // no "." or ".."
  EXPECT_FALSE(listing.next(entry));

  EXPECT_TRUE(listing.open(root.string() + "/sub", "*.*"));  // empty folder opens
  EXPECT_FALSE(listing.next(entry));
  EXPECT_FALSE(listing.open(root.string() + "/sub", "*.txt"));  // nothing matches
  EXPECT_TRUE(listing.open(root.string(), "FI?E"));
  EXPECT_TRUE(listing.next(entry));
  EXPECT_EQ(entry.name, "file");
  EXPECT_TRUE(listing.open(root.string(), "fil*.*"));  // a trailing ".*" also matches no dot
  EXPECT_FALSE(listing.open(root.string() + "/missing", "*.*"));
  EXPECT_FALSE(listing.open((root / "file").string(), "*.*"));
  fs::remove_all(root);
}

TEST(TreeTest, FailedTreeCallsCarryTheSystemErrorNumber) {
  const fs::path root =
      fs::temp_directory_path() / ("ravelund-errors-" + std::to_string(std::random_device()()));
  fs::create_directories(root / "dst");
  std::ofstream(root / "a.txt") << "a";

  const auto copied = platform::copyWholeFile((root / "a.txt").string(), (root / "b.txt").string());
  EXPECT_EQ(copied.outcome, platform::FileCopy::copied);
  EXPECT_EQ(copied.error, 0u);
  const auto missing =
      platform::copyWholeFile((root / "none").string(), (root / "dst/none").string());
  EXPECT_EQ(missing.outcome, platform::FileCopy::failed);
  EXPECT_EQ(missing.error, static_cast<std::uint32_t>(ENOENT));
  const auto folder = platform::copyWholeFile((root / "dst").string(), (root / "x").string());
  EXPECT_EQ(folder.outcome, platform::FileCopy::failed);
  EXPECT_EQ(folder.error, static_cast<std::uint32_t>(EISDIR));
  const auto noTargetFolder =
      platform::copyWholeFile((root / "a.txt").string(), (root / "no/a.txt").string());
  EXPECT_EQ(noTargetFolder.outcome, platform::FileCopy::failed);
  EXPECT_EQ(noTargetFolder.error, static_cast<std::uint32_t>(ENOENT));
  // The whole copy is made, then refused at the rename over a folder that is
  // not empty.
  fs::create_directories(root / "dst/c.txt/inside");
  const auto blocked =
      platform::copyWholeFile((root / "a.txt").string(), (root / "dst/c.txt").string());
  EXPECT_EQ(blocked.outcome, platform::FileCopy::failed);
  EXPECT_EQ(blocked.error, static_cast<std::uint32_t>(EISDIR));

  const auto orphan = platform::createFolder((root / "no/such").string());
  EXPECT_EQ(orphan.outcome, platform::FolderCreation::failed);
  EXPECT_EQ(orphan.error, static_cast<std::uint32_t>(ENOENT));
  const auto overFile = platform::createFolder((root / "a.txt").string());
  EXPECT_EQ(overFile.outcome, platform::FolderCreation::failed);
  EXPECT_EQ(overFile.error, static_cast<std::uint32_t>(EEXIST));
  const auto existing = platform::createFolder((root / "dst").string());
  EXPECT_EQ(existing.outcome, platform::FolderCreation::existed);
  EXPECT_EQ(existing.error, 0u);

  platform::FolderListing listing;
  const platform::TreeResult absent = listing.open((root / "no").string(), "*.*");
  EXPECT_FALSE(absent.ok);
  EXPECT_EQ(absent.error, static_cast<std::uint32_t>(ENOENT));
  const platform::TreeResult onFile = listing.open((root / "a.txt").string(), "*.*");
  EXPECT_EQ(onFile.error, static_cast<std::uint32_t>(ENOTDIR));
  const platform::TreeResult present = listing.open(root.string(), "*.*");
  EXPECT_TRUE(present.ok);
  EXPECT_EQ(present.error, 0u);
  fs::remove_all(root);
}

}  // namespace
