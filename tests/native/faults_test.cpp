// Whole jobs under faults, run by the program on its own UI thread over real
// folders: a destination volume that fills up, a destination that goes away
// during the copy, a source that changes while it is copied, and a copy
// killed in the middle and run again. The small volumes are tmpfs mounts,
// which need root: without it those tests are skipped and say why.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "app/state.h"
#include "copyjob/job.h"
#include "engine/engine.h"
#include "journal/date.h"
#include "journal/journal.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "platform/tree.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace hl = platform::headless;
using testsupport::boxesCaptioned;
using testsupport::runTimersUntil;
using testsupport::runUntilBox;
using namespace std::chrono_literals;
using testsupport::readFile;
using testsupport::writeFile;

constexpr unsigned kAllFlags = engine::kRecurse | engine::kResetTargetAttributes;
constexpr char kFailurePrefix[] = "Echec de la copie : ";

// A tmpfs volume of its own, mounted on a fresh folder and detached when the
// object goes away.
class SmallVolume {
 public:
  explicit SmallVolume(const std::string& options) {
    path_ = folder_.path() / "volume";
    fs::create_directory(path_);
    if (geteuid() != 0) {
      why_ = "a tmpfs volume needs root";
    } else if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) != 0) {
      why_ = std::string("mounting a tmpfs volume failed: ") + std::strerror(errno);
    } else {
      mounted_ = true;
    }
  }
  ~SmallVolume() { detach(); }
  SmallVolume(const SmallVolume&) = delete;
  SmallVolume& operator=(const SmallVolume&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  const fs::path& path() const { return path_; }
  // Unmounts at once, even while files on it are open (as a volume pulled
  // out): the mount point shows the empty folder below it again.
  bool detach() {
    if (!mounted_) return false;
    mounted_ = false;
    return ::umount2(path_.c_str(), MNT_DETACH) == 0;
  }
  std::uint64_t freeBytes() const {
    struct statvfs info {};
    if (::statvfs(path_.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  }

 private:
  testsupport::TempFolder folder_;
  fs::path path_;
  bool mounted_ = false;
  std::string why_;
};

#define SKIP_WITHOUT(volume)                                 \
  do {                                                       \
    if (!(volume).mounted()) GTEST_SKIP() << (volume).why(); \
  } while (false)

// Bytes that differ from one file to the next and along each file, so a
// truncated, shifted or mixed copy never passes for the original.
std::string patterned(std::size_t size, int seed) {
  std::string bytes(size, '\0');
  unsigned value = static_cast<unsigned>(seed) * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    value = value * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(value >> 24);
  }
  return bytes;
}

std::vector<fs::path> temporaryFilesBelow(const fs::path& root) {
  std::vector<fs::path> found;
  std::error_code ignored;
  if (!fs::exists(root, ignored)) return found;
  for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
    if (platform::isCopyTemporaryName(entry.path().filename().string())) {
      found.push_back(entry.path());
    }
  }
  return found;
}

// Every regular file below `root`, by its path relative to it.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  if (!fs::exists(root, ignored)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), root).string()] = readFile(entry.path());
    }
  }
  return files;
}

class FaultJobTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    journal::testing::fixCurrentDate(journal::DateValue{1772719629});
    source_ = root_.path() / "Photos";
    fs::create_directory(source_);
  }

  void TearDown() override {
    platform::testing::slowCopyChunks(0);
    if (hl::programRunning()) {
      platform::postClose(app::kJournalWindow);
      platform::postClose(app::kMainWindow);
      EXPECT_TRUE(hl::waitProgramEnd());
    }
    journal::testing::useSystemClock();
    ProgramTest::TearDown();
  }

  void startTheProgram() {
    hl::startProgram([] { app::runProgram(); });
    ASSERT_TRUE(hl::waitIdle());
  }

  void startJob(const fs::path& source, const fs::path& destination) {
    hl::typeText(app::kSourceField, source.string() + "/");
    hl::typeText(app::kDestinationField, destination.string() + "/");
    hl::pressControl(app::kStartButton);
    ASSERT_TRUE(hl::waitIdle());
  }

  static bool hasBox(const std::string& caption) { return !boxesCaptioned(caption).empty(); }

  bool finishJob(std::size_t verdicts = 1) {
    return runUntilBox("Contrôle", verdicts) &&
           platform::testing::waitAllThreads(platform::headless::kHangCeilingMs) && hl::waitIdle();
  }

  // The end box for the failed elements the journal names (the journal on).
  static std::string endText(const std::vector<copyjob::FailedElement>& failed) {
    return copyjob::copyEndText("Photos", failed, true);
  }

  // The elements the journal names as not copied, with their reasons: each
  // line is "Echec de la copie : " + path + " (" + reason + ")".
  static std::vector<copyjob::FailedElement> journalledElements() {
    std::vector<copyjob::FailedElement> failed;
    for (const auto& line : journal::readJournalLines()) {
      if (line.rfind(kFailurePrefix, 0) != 0) continue;
      const std::string rest = line.substr(std::strlen(kFailurePrefix));
      const std::size_t open = rest.rfind(" (");
      if (open == std::string::npos || rest.back() != ')') {
        ADD_FAILURE() << "no reason in: " << line;
        continue;
      }
      failed.push_back({rest.substr(0, open), rest.substr(open + 2, rest.size() - open - 3)});
    }
    return failed;
  }

  // The source paths the journal names as not copied.
  static std::vector<std::string> journalledFailures() {
    std::vector<std::string> failed;
    for (const auto& element : journalledElements()) failed.push_back(element.path);
    return failed;
  }

  static bool verdictIsGood() {
    const auto verdicts = boxesCaptioned("Contrôle");
    return !verdicts.empty() && verdicts.back().kind == platform::kBoxInformation;
  }

  testsupport::TempFolder root_;
  fs::path source_;
};

// ---- A destination that fills up -----------------------------------------------------

TEST_F(FaultJobTest, AFileTooLargeForTheVolumeFailsAloneAndItsEarlierCopyStays) {
  SmallVolume volume("size=1m");
  SKIP_WITHOUT(volume);
  setOptions({"log", "verif"});
  // Top-level files are copied before any sub-folder: the large file fails
  // first, and the small ones after it must still arrive.
  const std::string large = patterned(3 << 20, 1);
  writeFile(source_ / "grand.bin", large);
  fs::create_directory(source_ / "petits");
  for (int i = 0; i < 10; ++i) {
    writeFile(source_ / "petits" / ("p" + std::to_string(i)), patterned(20000, 10 + i));
  }
  const fs::path target = volume.path() / "Photos";
  fs::create_directory(target);
  const std::string earlier = patterned(100000, 2);
  writeFile(target / "grand.bin", earlier);

  startTheProgram();
  startJob(source_, volume.path());
  ASSERT_TRUE(finishJob());
  const auto copyBox = boxesCaptioned("Copie");
  ASSERT_EQ(copyBox.size(), 1u);
  // Word for word.
  EXPECT_EQ(copyBox[0].text,
            "La copie de Photos est terminée.\r\r1 élément(s) n'ont pu être "
            "copié(s).\r\r" +
                (source_ / "grand.bin").string() + " : espace insuffisant sur la destination");
  EXPECT_EQ(copyBox[0].kind, platform::kBoxWarning);
  EXPECT_EQ(journalledFailures(), std::vector<std::string>{(source_ / "grand.bin").string()});
  const auto journal = journal::readJournalLines();
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      "Echec de la copie : " + (source_ / "grand.bin").string() +
                          " (espace insuffisant sur la destination)"),
            journal.end());
  EXPECT_EQ(readFile(target / "grand.bin"), earlier);
  for (int i = 0; i < 10; ++i) {
    const std::string name = "p" + std::to_string(i);
    EXPECT_EQ(readFile(target / "petits" / name), patterned(20000, 10 + i)) << name;
  }
  EXPECT_TRUE(temporaryFilesBelow(volume.path()).empty());
  EXPECT_FALSE(verdictIsGood());
  EXPECT_EQ(app::appState().statusText.get(),
            "VEUILLEZ VERIFIER VOTRE COPIE DE DOSSIER! DES ERREURS ONT ETE CONSTATEES.");
}

TEST_F(FaultJobTest, SmallFilesThatOverflowTheVolumeAreEachEitherWholeOrAFailedElement) {
  SmallVolume volume("size=1m");
  SKIP_WITHOUT(volume);
  setOptions({"log", "verif"});
  std::map<std::string, std::string> sources;
  for (int folder = 0; folder < 2; ++folder) {
    const fs::path sub = source_ / ("d" + std::to_string(folder));
    fs::create_directory(sub);
    for (int i = 0; i < 150; ++i) {
      const std::string name = "f" + std::to_string(i) + ".jpg";
      const std::string bytes = patterned(8192 + static_cast<std::size_t>(i), folder * 1000 + i);
      writeFile(sub / name, bytes);
      sources[(sub / name).string()] = bytes;
    }
  }
  startTheProgram();
  startJob(source_, volume.path());
  ASSERT_TRUE(finishJob());

  const fs::path target = volume.path() / "Photos";
  const auto copied = filesBelow(target);
  const auto failedList = journalledFailures();
  const std::set<std::string> failed(failedList.begin(), failedList.end());
  EXPECT_EQ(failed.size(), failedList.size());  // each element named once
  ASSERT_FALSE(failed.empty());
  ASSERT_FALSE(copied.empty());
  EXPECT_EQ(copied.size() + failed.size(), sources.size());
  for (const auto& [relative, bytes] : copied) {
    const std::string sourcePath = (source_ / relative).string();
    ASSERT_EQ(sources.count(sourcePath), 1u) << relative;
    EXPECT_EQ(bytes, sources[sourcePath]) << relative;
    EXPECT_EQ(failed.count(sourcePath), 0u) << relative;
  }
  const auto elements = journalledElements();
  for (const auto& element : elements) {
    EXPECT_EQ(element.reason, "espace insuffisant sur la destination") << element.path;
  }
  EXPECT_EQ(boxesCaptioned("Copie")[0].text, endText(elements));
  EXPECT_TRUE(temporaryFilesBelow(volume.path()).empty());
  EXPECT_FALSE(verdictIsGood());
}

// The engine alone, at the byte: a file exactly the size of the free space
// fits; one byte more does not, and the exact copy made before stays.
TEST(FullVolumeTest, AFileOfExactlyTheFreeSpaceFitsAndOneByteMoreFailsKeepingTheEarlierCopy) {
  SmallVolume volume("size=256k");
  SKIP_WITHOUT(volume);
  testsupport::TempFolder sourceRoot;
  const fs::path target = volume.path() / "copie";
  fs::create_directory(target);
  const std::uint64_t free = volume.freeBytes();
  ASSERT_GT(free, 0u);
  const std::string exact = patterned(free, 3);
  writeFile(sourceRoot.path() / "plein.bin", exact);
  std::vector<std::string> failed;
  const auto onFailed = [&](const std::string& path, const engine::FailureReason&) {
    failed.push_back(path);
  };
  EXPECT_EQ(engine::copyFolderTree(sourceRoot.path().string(), target.string(), "*.*", kAllFlags,
                                   onFailed),
            1);
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(readFile(target / "plein.bin"), exact);
  EXPECT_EQ(volume.freeBytes(), 0u);

  writeFile(sourceRoot.path() / "plein.bin", exact + "x");
  EXPECT_EQ(engine::copyFolderTree(sourceRoot.path().string(), target.string(), "*.*", kAllFlags,
                                   onFailed),
            0);
  EXPECT_EQ(failed, std::vector<std::string>{(sourceRoot.path() / "plein.bin").string()});
  EXPECT_EQ(readFile(target / "plein.bin"), exact);
  EXPECT_TRUE(temporaryFilesBelow(target).empty());
  EXPECT_EQ(volume.freeBytes(), 0u);  // the partial temporary file gave its space back
}

// A volume out of entries (no room for one more folder or file, whatever the
// free bytes) fails the folders it cannot make, each one element, and goes on.
TEST(FullVolumeTest, AVolumeWithoutRoomForNewEntriesFailsEachFolderOnceAndGoesOn) {
  SmallVolume volume("size=1m,nr_inodes=8");
  SKIP_WITHOUT(volume);
  testsupport::TempFolder sourceRoot;
  for (int i = 0; i < 10; ++i) {
    const fs::path sub = sourceRoot.path() / ("d" + std::to_string(i));
    fs::create_directory(sub);
    writeFile(sub / "f", "contents " + std::to_string(i));
  }
  const fs::path target = volume.path() / "copie";
  std::vector<std::string> failed;
  EXPECT_EQ(engine::copyFolderTree(sourceRoot.path().string(), target.string(), "*.*", kAllFlags,
                                   [&](const std::string& path, const engine::FailureReason&) {
                                     failed.push_back(path);
                                   }),
            0);
  int copied = 0;
  for (int i = 0; i < 10; ++i) {
    const std::string name = "d" + std::to_string(i);
    const std::string element = (sourceRoot.path() / name).string() + "/";
    const bool reported = std::count(failed.begin(), failed.end(), element) == 1;
    const bool whole = readFile(target / name / "f") == "contents " + std::to_string(i);
    // A folder that was made may still lack room for its file: that file is
    // then the failed element.
    const bool fileReported =
        std::count(failed.begin(), failed.end(), (sourceRoot.path() / name / "f").string()) == 1;
    EXPECT_TRUE(reported != (whole || fileReported)) << name;
    if (whole) ++copied;
  }
  EXPECT_GT(copied, 0);
  EXPECT_LT(copied, 10);
  EXPECT_TRUE(temporaryFilesBelow(target).empty());
}

// ---- A destination that goes away ------------------------------------------------------

class VanishingDestinationTest : public FaultJobTest {
 protected:
  // A large file at the top, copied slowly (it would take 20 s whole), and
  // twenty folders of small files waiting behind it.
  void makeSource() {
    writeFile(source_ / "grand.bin", patterned(40 << 20, 7));
    for (int folder = 0; folder < 20; ++folder) {
      const fs::path sub = source_ / ("d" + std::to_string(folder));
      fs::create_directory(sub);
      for (int i = 0; i < 30; ++i) writeFile(sub / ("f" + std::to_string(i)), "petit fichier");
    }
  }

  std::set<std::string> expectedFailures() const {
    std::set<std::string> expected{(source_ / "grand.bin").string()};
    for (int folder = 0; folder < 20; ++folder) {
      expected.insert((source_ / ("d" + std::to_string(folder))).string() + "/");
    }
    return expected;
  }

  // Starts the job into `destination`, makes it vanish with `vanish` once
  // the large file is a few chunks along, and checks the job ends within
  // seconds, saying what failed.
  void vanishDuringTheCopy(const fs::path& destination, const std::function<void()>& vanish) {
    setOptions({"log", "verif"});
    makeSource();
    platform::testing::slowCopyChunks(500);
    startTheProgram();
    startJob(source_, destination);
    const fs::path target = destination / "Photos";
    ASSERT_TRUE(runTimersUntil([&] {
      const auto temporary = temporaryFilesBelow(target);
      std::error_code ignored;
      return !temporary.empty() && fs::file_size(temporary[0], ignored) >= (2u << 20);
    }));
    const auto vanishedAt = std::chrono::steady_clock::now();
    vanish();
    ASSERT_TRUE(runUntilBox("Copie"));
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - vanishedAt).count();
    // The rest of the large file alone would take over 15 s.
    EXPECT_LT(seconds, 5.0);
    ASSERT_TRUE(finishJob());
    const auto failedList = journalledFailures();
    EXPECT_EQ(std::set<std::string>(failedList.begin(), failedList.end()), expectedFailures());
    EXPECT_EQ(failedList.size(), expectedFailures().size());
    const auto elements = journalledElements();
    for (const auto& element : elements) {
      EXPECT_EQ(element.reason, "destination disparue") << element.path;
    }
    EXPECT_EQ(boxesCaptioned("Copie")[0].text, endText(elements));
    EXPECT_EQ(boxesCaptioned("Copie")[0].kind, platform::kBoxWarning);
    EXPECT_FALSE(verdictIsGood());
    EXPECT_TRUE(temporaryFilesBelow(destination).empty());
  }

  // The next job, into a destination that is there, runs as any other.
  void runTheNextJob() {
    platform::testing::slowCopyChunks(0);
    const fs::path other = root_.path() / "Autre";
    fs::create_directory(other);
    startJob(source_, other);
    ASSERT_TRUE(finishJob(2));
    EXPECT_EQ(boxesCaptioned("Copie").back().text, endText({}));
    EXPECT_TRUE(verdictIsGood());
    EXPECT_EQ(filesBelow(other / "Photos"), filesBelow(source_));
  }
};

TEST_F(VanishingDestinationTest, ADestinationRemovedDuringTheCopyEndsItAndTheNextJobRuns) {
  const fs::path destination = root_.path() / "Sauvegardes";
  fs::create_directory(destination);
  vanishDuringTheCopy(destination, [&] {
    // The copy may still make a folder while the tree goes: remove until gone.
    std::error_code ignored;
    for (int i = 0; i < 100 && fs::exists(destination / "Photos"); ++i) {
      fs::remove_all(destination / "Photos", ignored);
    }
  });
  EXPECT_FALSE(fs::exists(destination / "Photos"));
  runTheNextJob();
}

TEST_F(VanishingDestinationTest, ADestinationRenamedDuringTheCopyEndsIt) {
  const fs::path destination = root_.path() / "Sauvegardes";
  fs::create_directory(destination);
  vanishDuringTheCopy(destination,
                      [&] { fs::rename(destination / "Photos", root_.path() / "Ailleurs"); });
  EXPECT_FALSE(fs::exists(destination / "Photos"));
  // What had arrived stays where the folder went, and nothing was added since.
  EXPECT_TRUE(filesBelow(root_.path() / "Ailleurs").empty());
  runTheNextJob();
}

// As when a disk is pulled out and another one takes its drive letter: the
// path leads to another folder now, and the copy must not go on into it.
TEST_F(VanishingDestinationTest, ADestinationReplacedByAnotherFolderIsNotWrittenInto) {
  const fs::path destination = root_.path() / "Sauvegardes";
  fs::create_directory(destination);
  vanishDuringTheCopy(destination, [&] {
    fs::rename(destination / "Photos", root_.path() / "Ailleurs");
    fs::create_directory(destination / "Photos");
  });
  EXPECT_TRUE(fs::is_empty(destination / "Photos"));
  runTheNextJob();
}

TEST_F(VanishingDestinationTest, AnUnmountedDestinationVolumeEndsTheCopyAndTheNextJobRuns) {
  SmallVolume volume("size=128m");
  SKIP_WITHOUT(volume);
  vanishDuringTheCopy(volume.path(), [&] { ASSERT_TRUE(volume.detach()); });
  EXPECT_FALSE(fs::exists(volume.path() / "Photos"));
  runTheNextJob();
}

// ---- A source that changes during the copy ------------------------------------------------

class ChangingSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = root_.path() / "src";
    target_ = root_.path() / "dst";
    fs::create_directory(source_);
  }
  void TearDown() override { platform::testing::slowCopyChunks(0); }

  // Copies on a thread of the table, slowly, and runs `change` once the
  // copy of the large file is two chunks along, the copy paused meanwhile;
  // the copy's result.
  int copyWhile(const std::function<void()>& change) {
    platform::testing::slowCopyChunks(150);
    std::atomic<int> result{-1};
    const int thread = platform::startThread(
        [&](int) {
          result = engine::copyFolderTree(
              source_.string(), target_.string(), "*.*", kAllFlags,
              [&](const std::string& path, const engine::FailureReason& reason) {
                std::lock_guard lock(mutex_);
                failed_.push_back(path);
                reasons_.push_back(copyjob::failureReasonText(reason));
              });
          return 0;
        },
        0);
    EXPECT_NE(thread, 0);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(platform::headless::kHangCeilingMs);
    for (;;) {
      const auto temporary = temporaryFilesBelow(target_);
      std::error_code ignored;
      if (!temporary.empty() && fs::file_size(temporary[0], ignored) >= (2u << 20)) break;
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the copy never got two chunks into the large file";
        break;
      }
      std::this_thread::sleep_for(2ms);
    }
    // Paused while the source changes, so that the copy cannot finish the
    // file first however long the change takes on a busy machine.
    platform::pauseThread(thread);
    change();
    platform::resumeThread(thread);
    EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
    return result;
  }

  std::vector<std::string> failed() {
    std::lock_guard lock(mutex_);
    return failed_;
  }

  testsupport::TempFolder root_;
  fs::path source_;
  fs::path target_;
  std::mutex mutex_;
  std::vector<std::string> failed_;
  std::vector<std::string> reasons_;
};

TEST_F(ChangingSourceTest, AFileChangedDuringItsCopyIsAFailedElementNeverAMixedCopy) {
  const std::string original = patterned(6 << 20, 4);
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> change;
  };
  const Case cases[] = {
      {"grown", [](const fs::path& file) { writeFile(file, readFile(file) + "plus"); }},
      {"truncated", [](const fs::path& file) { fs::resize_file(file, 1 << 20); }},
      {"rewritten in place, same size",
       [](const fs::path& file) {
         FILE* out = std::fopen(file.c_str(), "r+b");
         ASSERT_NE(out, nullptr);
         std::fseek(out, 5 << 20, SEEK_SET);
         std::fputs("nouveau", out);
         std::fclose(out);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    failed_.clear();
    reasons_.clear();
    writeFile(source_ / "grand.bin", original);
    fs::create_directories(target_);
    writeFile(target_ / "grand.bin", "copie précédente");
    EXPECT_EQ(copyWhile([&] { c.change(source_ / "grand.bin"); }), 0);
    EXPECT_EQ(failed(), std::vector<std::string>{(source_ / "grand.bin").string()});
    EXPECT_EQ(reasons_, std::vector<std::string>{"modifié pendant la copie"});
    EXPECT_EQ(readFile(target_ / "grand.bin"), "copie précédente");
    EXPECT_TRUE(temporaryFilesBelow(target_).empty());
  }
}

TEST_F(ChangingSourceTest, AFileDeletedOrReplacedDuringItsCopyArrivesWholeAsItWasOpened) {
  // The copy holds the file it opened: removing or replacing the name
  // changes nothing in what it reads, and the copy is that file, whole.
  const std::string original = patterned(5 << 20, 5);
  const std::function<void(const fs::path&)> changes[] = {
      [](const fs::path& file) { fs::remove(file); },
      [](const fs::path& file) {
        writeFile(file.string() + ".new", "remplaçant");
        fs::rename(file.string() + ".new", file);
      },
  };
  for (const auto& change : changes) {
    failed_.clear();
    writeFile(source_ / "grand.bin", original);
    EXPECT_EQ(copyWhile([&] { change(source_ / "grand.bin"); }), 1);
    EXPECT_TRUE(failed().empty());
    EXPECT_TRUE(readFile(target_ / "grand.bin") == original);
    EXPECT_TRUE(temporaryFilesBelow(target_).empty());
  }
}

// Folders and files deleted, renamed and added in the source while the large
// file at its top is copied, through the whole job: every copied file is
// whole, every failure names something the source no longer holds, and the
// verdict is about the trees as they are once the copy is over.
TEST_F(FaultJobTest, ASourceReshapedDuringTheCopyGivesOnlyWholeFilesAndAnHonestVerdict) {
  setOptions({"log", "verif"});
  writeFile(source_ / "grand.bin", patterned(6 << 20, 6));
  for (int folder = 0; folder < 6; ++folder) {
    const fs::path sub = source_ / ("d" + std::to_string(folder));
    fs::create_directory(sub);
    for (int i = 0; i < 5; ++i) {
      writeFile(sub / ("f" + std::to_string(i)),
                patterned(1000 + static_cast<std::size_t>(i), folder * 10 + i));
    }
  }
  const auto before = filesBelow(source_);
  const fs::path destination = root_.path() / "Sauvegardes";
  fs::create_directory(destination);
  const fs::path target = destination / "Photos";
  platform::testing::slowCopyChunks(150);
  startTheProgram();
  startJob(source_, destination);
  ASSERT_TRUE(runTimersUntil([&] {
    const auto temporary = temporaryFilesBelow(target);
    std::error_code ignored;
    return !temporary.empty() && fs::file_size(temporary[0], ignored) >= (2u << 20);
  }));
  fs::remove_all(source_ / "d1");
  fs::rename(source_ / "d2", source_ / "d2-renommé");
  fs::remove(source_ / "d3" / "f0");
  writeFile(source_ / "d4" / "nouveau", "ajouté pendant la copie");
  fs::create_directory(source_ / "ajouté");
  writeFile(source_ / "ajouté" / "x", "x");
  ASSERT_TRUE(finishJob());

  const auto now = filesBelow(source_);
  const auto copied = filesBelow(target);
  for (const auto& [relative, bytes] : copied) {
    ASSERT_EQ(now.count(relative), 1u) << relative;
    EXPECT_TRUE(bytes == now.at(relative)) << relative;
  }
  const auto failures = journalledFailures();
  EXPECT_EQ(boxesCaptioned("Copie")[0].text, endText(journalledElements()));
  for (const auto& element : journalledElements()) {
    EXPECT_EQ(element.reason, "introuvable") << element.path;
  }
  for (const auto& path : failures) EXPECT_FALSE(fs::exists(path)) << path;
  EXPECT_NE(std::find(failures.begin(), failures.end(), (source_ / "d1").string() + "/"),
            failures.end());
  // What stood still through the copy arrived.
  for (const auto& [relative, bytes] : before) {
    if (now.count(relative) == 1 && relative.rfind("d2", 0) != 0) {
      EXPECT_EQ(copied.count(relative), 1u) << relative;
    }
  }
  EXPECT_EQ(copied.count("d4/nouveau"), 1u);
  EXPECT_TRUE(temporaryFilesBelow(target).empty());
  const bool same = engine::treeTotals(source_.string()) == engine::treeTotals(target.string());
  EXPECT_FALSE(same);  // the renamed folder was not copied under its new name
  EXPECT_EQ(verdictIsGood(), same);
}

// ---- A copy killed in the middle, then run again ---------------------------------------------

class KilledCopyTest : public FaultJobTest {
 protected:
  // Runs the copy in a child process, slowly, and kills it with SIGKILL as
  // soon as `caught` holds; false when the child ended first.
  bool killCopyWhen(const fs::path& destination, const std::function<bool()>& caught) {
    const std::string source = source_.string();
    const std::string target = (destination / "Photos").string();
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
      // Only async-signal-safe work would be strictly allowed here; the
      // copy makes no thread and takes no lock another thread could hold.
      platform::testing::slowCopyChunks(100);
      engine::copyFolderTree(source, target, "*.*", kAllFlags);
      ::_exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(platform::headless::kHangCeilingMs);
    bool killed = false;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) == child) return false;
      if (caught()) {
        ::kill(child, SIGKILL);
        killed = true;
        break;
      }
      std::this_thread::sleep_for(1ms);
    }
    if (!killed) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return killed && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }
};

TEST_F(KilledCopyTest, KilledDuringALargeFileTheEarlierCopyStaysAndTheNextJobCompletes) {
  setOptions({"log", "verif"});
  const fs::path destination = root_.path() / "Sauvegardes";
  const fs::path target = destination / "Photos";
  fs::create_directories(target / "sous");
  const std::string earlier = patterned(2 << 20, 8);
  writeFile(target / "grand.bin", earlier);
  writeFile(source_ / "grand.bin", patterned(12 << 20, 9));
  fs::create_directory(source_ / "sous");
  writeFile(source_ / "sous" / "a.txt", "a");
  ASSERT_TRUE(killCopyWhen(destination, [&] {
    const auto temporary = temporaryFilesBelow(target);
    std::error_code ignored;
    return !temporary.empty() && fs::file_size(temporary[0], ignored) >= (3u << 20);
  }));
  // Killed in the middle: its temporary file is left, the earlier copy is untouched.
  EXPECT_EQ(temporaryFilesBelow(target).size(), 1u);
  EXPECT_EQ(readFile(target / "grand.bin"), earlier);

  startTheProgram();
  startJob(source_, destination);
  ASSERT_TRUE(finishJob());
  EXPECT_EQ(boxesCaptioned("Copie")[0].text, endText({}));
  EXPECT_TRUE(verdictIsGood());
  EXPECT_TRUE(temporaryFilesBelow(destination).empty());
  EXPECT_EQ(filesBelow(target), filesBelow(source_));
}

TEST_F(KilledCopyTest, KilledAmongManySmallFilesEachFileIsOldOrNewAndTheNextJobCompletes) {
  setOptions({"log", "verif"});
  const fs::path destination = root_.path() / "Sauvegardes";
  const fs::path target = destination / "Photos";
  fs::create_directories(target);
  for (int i = 0; i < 100; ++i) {
    const std::string name = "f" + std::to_string(i);
    writeFile(target / name, "ancienne version " + std::to_string(i));
    writeFile(source_ / name, patterned(3000, 100 + i));
  }
  ASSERT_TRUE(killCopyWhen(destination, [&] {
    int renewed = 0;
    for (int i = 0; i < 100; ++i) {
      renewed += readFile(target / ("f" + std::to_string(i))).size() == 3000 ? 1 : 0;
    }
    return renewed >= 10;
  }));
  int renewed = 0;
  for (int i = 0; i < 100; ++i) {
    const std::string bytes = readFile(target / ("f" + std::to_string(i)));
    const bool isNew = bytes == patterned(3000, 100 + i);
    EXPECT_TRUE(isNew || bytes == "ancienne version " + std::to_string(i)) << i;
    renewed += isNew ? 1 : 0;
  }
  EXPECT_GE(renewed, 10);
  EXPECT_LT(renewed, 100);

  startTheProgram();
  startJob(source_, destination);
  ASSERT_TRUE(finishJob());
  EXPECT_EQ(boxesCaptioned("Copie")[0].text, endText({}));
  EXPECT_TRUE(verdictIsGood());
  EXPECT_TRUE(temporaryFilesBelow(destination).empty());
  EXPECT_EQ(filesBelow(target), filesBelow(source_));
}

}  // namespace
