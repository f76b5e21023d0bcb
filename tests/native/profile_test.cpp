// The profile folder and its two files under faults: a journal or settings
// file that cannot be written (a folder in its place, an immutable file, a
// read-only, missing or full profile folder), damaged settings and journal
// files, and the whole program working through each of them.
//
// The unwritable cases are made for real: as root, permission bits are not
// obeyed, so they use a read-only bind mount, a small full tmpfs and the
// immutable flag. A test whose set-up the machine refuses says so and skips.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/commands.h"
#include "app/dialogs.h"
#include "app/program.h"
#include "app/state.h"
#include "copyjob/job.h"
#include "journal/cipher.h"
#include "journal/date.h"
#include "journal/journal.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "test_support.h"
#include "text/text.h"

namespace {

namespace fs = std::filesystem;
namespace hl = platform::headless;
using testsupport::boxesCaptioned;
using testsupport::readFile;
using testsupport::runUntilBox;
using testsupport::snapshot;
using testsupport::writeFile;

constexpr char kJournalFailure[] = "Le journal n'a pu être écrit!";
constexpr char kSaveFailure[] = "Les préférences n'ont pu être enregistrées!";

std::string record(const std::string& text) {
  return journal::encipherLine(text::toWindows1252(text), journal::kJournalKey) + "\r\n";
}

// A journal of exactly one 4 KiB page of whole lines: on a full volume not
// one more byte fits into its last page.
std::string onePageJournal() {
  std::string bytes = record("Journal créé le : 01 - 01 - 2026 à 00:00:00") + record("");
  bytes += record(std::string((4096 - bytes.size() - 4) / 2, 'j'));
  return bytes;
}

// The journal failure boxes shown so far, each checked for its text and icon.
int journalFailureBoxes() {
  int count = 0;
  for (const auto& box : boxesCaptioned("Erreur!")) {
    if (box.text != kJournalFailure) continue;
    EXPECT_EQ(box.kind, 16);
    ++count;
  }
  return count;
}

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// ---- Real faults, made as root -----------------------------------------------------

// A mount over `folder` (a small tmpfs, or the folder itself bound read-only),
// taken away when the object goes.
class Mount {
 public:
  static std::unique_ptr<Mount> smallVolume(const fs::path& folder, int kibibytes) {
    const std::string options = "size=" + std::to_string(kibibytes) + "k,mode=0755";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return nullptr;
    return std::unique_ptr<Mount>(new Mount(folder));
  }
  static std::unique_ptr<Mount> readOnly(const fs::path& folder) {
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return nullptr;
    auto mount = std::unique_ptr<Mount>(new Mount(folder));
    if (::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      return nullptr;
    }
    return mount;
  }
  ~Mount() { ::umount2(folder_.c_str(), MNT_DETACH); }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;

 private:
  explicit Mount(fs::path folder) : folder_(std::move(folder)) {}
  fs::path folder_;
};

// Sets or clears the immutable flag, which even root's writes obey.
bool setImmutable(const fs::path& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

class Immutable {
 public:
  explicit Immutable(fs::path path) : path_(std::move(path)), on_(setImmutable(path_, true)) {}
  ~Immutable() {
    if (on_) setImmutable(path_, false);
  }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool on() const { return on_; }

 private:
  fs::path path_;
  bool on_;
};

// Fills the volume holding `folder` with one file until nothing more fits.
void fillVolume(const fs::path& folder) {
  const int fd = ::open((folder / "remplissage").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'r');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  const std::string byte(1, 'r');
  while (::write(fd, byte.data(), 1) > 0) {
  }
  ::close(fd);
}

// The ways a profile folder keeps its files from being written.
enum class Fault { folderInPlace, readOnlyFile, immutableFile, readOnlyFolder, fullVolume };

const char* faultName(Fault fault) {
  switch (fault) {
    case Fault::folderInPlace:
      return "a folder in the file's place";
    case Fault::readOnlyFile:
      return "a read-only file";
    case Fault::immutableFile:
      return "an immutable file";
    case Fault::readOnlyFolder:
      return "a read-only profile folder";
    case Fault::fullVolume:
      return "a full profile volume";
  }
  return "";
}

constexpr Fault kFaults[] = {Fault::folderInPlace, Fault::readOnlyFile, Fault::immutableFile,
                             Fault::readOnlyFolder, Fault::fullVolume};

// What holds a fault in place for the length of a case.
struct FaultHold {
  std::unique_ptr<Mount> mount;
  std::unique_ptr<Immutable> immutable;
  std::string skipped;  // why the machine could not make it
};

// Makes `fault` for `file` in `folder`, which already holds what it should
// keep (the file itself, unless a folder is to take its place). A full
// volume is mounted first, so the files are written again onto it.
FaultHold makeFault(Fault fault, const fs::path& folder, const fs::path& file) {
  FaultHold hold;
  switch (fault) {
    case Fault::folderInPlace:
      fs::remove(file);
      fs::create_directory(file);
      writeFile(file / "dedans.txt", "dedans");
      break;
    case Fault::readOnlyFile:
      // Root's writes ignore the bits; the program itself must not.
      fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
      break;
    case Fault::immutableFile:
      hold.immutable = std::make_unique<Immutable>(file);
      if (!hold.immutable->on()) hold.skipped = "the immutable flag cannot be set here";
      break;
    case Fault::readOnlyFolder:
      hold.mount = Mount::readOnly(folder);
      if (!hold.mount) hold.skipped = "a read-only bind mount is refused here (not root?)";
      break;
    case Fault::fullVolume: {
      std::map<std::string, std::string> kept;
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) kept[entry.path().filename()] = readFile(entry.path());
      }
      hold.mount = Mount::smallVolume(folder, 64);
      if (!hold.mount) {
        hold.skipped = "a tmpfs cannot be mounted here (not root?)";
        break;
      }
      for (const auto& [name, bytes] : kept) writeFile(folder / name, bytes);
      fillVolume(folder);
      break;
    }
  }
  return hold;
}

// ---- The journal file on its own -----------------------------------------------------

class JournalFaultTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    journal::testing::fixCurrentDate(journal::dateFromFields(2026, 12, 7, 6, 5, 9));
    ASSERT_TRUE(app::startUp());
    path_ = profile() / "ravelundlog.ini";
    ASSERT_EQ(journal::journalPath(), path_.string());
  }
  void TearDown() override {
    journal::testing::useSystemClock();
    ProgramTest::TearDown();
  }
  fs::path path_;
};

TEST_F(JournalFaultTest, ARecordNeverGluesOntoALastLineLeftWithoutItsEnd) {
  const std::string whole = record("Journal créé le : 07 - 12 - 2026") + record("");
  struct Case {
    const char* name;
    std::string before;
    bool needsLineEnd;
  };
  const Case cases[] = {
      {"an empty file", "", false},
      {"whole lines", whole, false},
      {"a whole record without its line end", whole + "BE00", true},
      {"a record cut to an odd length", whole + "9CCFD", true},
      {"a line that is not hexadecimal", whole + "pas un journal!", true},
      {"a lone CR at the end", whole + "BE00\r", false},
      {"a lone LF at the end", whole + "BE00\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path_, c.before);
    const std::vector<std::string> earlier = journal::readJournalLines();
    ASSERT_TRUE(journal::appendJournalLine("Destination : /sauvegardes/Photos"));
    ASSERT_TRUE(journal::appendJournalLine("créé"));
    const std::string after = readFile(path_);
    // The earlier bytes are all still there, untouched, in front.
    EXPECT_EQ(after, c.before + (c.needsLineEnd ? "\r\n" : "") +
                         record("Destination : /sauvegardes/Photos") + record("créé"));
    std::vector<std::string> lines = journal::readJournalLines();
    ASSERT_EQ(lines.size(), earlier.size() + 2);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(earlier.size())),
        earlier);
    EXPECT_EQ(lines[earlier.size()], "Destination : /sauvegardes/Photos");
    EXPECT_EQ(lines.back(), "créé");
  }
  EXPECT_TRUE(hl::boxes().empty());
}

TEST_F(JournalFaultTest, AWriteThatFailsOnAFullVolumeTakesBackItsHalfLine) {
  auto volume = Mount::smallVolume(profile(), 16);
  if (!volume) GTEST_SKIP() << "a tmpfs cannot be mounted here (not root?)";
  journal::ensureJournal();
  const std::string line = "Echec de la copie : " + std::string(700, 'x');
  std::string before = readFile(path_);
  int written = 0;
  while (journal::appendJournalLine(line + std::to_string(written))) {
    before = readFile(path_);
    ASSERT_LT(++written, 1000) << "the volume never filled";
  }
  ASSERT_GT(written, 3);
  // The failed record left nothing behind, so the file ends with a whole line.
  EXPECT_EQ(readFile(path_), before);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(journal::appendJournalLine(line + "encore"));
  EXPECT_EQ(readFile(path_), before);
  EXPECT_EQ(journalFailureBoxes(), 1);
  std::vector<std::string> lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(written) + 2);
  EXPECT_EQ(lines.back(), line + std::to_string(written - 1));

  // With room again the next record follows the last whole line directly.
  fs::resize_file(path_, 0);
  writeFile(path_, before.substr(0, before.size() / 2));
  const std::string cut = readFile(path_);
  EXPECT_TRUE(journal::appendJournalLine("la suite"));
  EXPECT_EQ(readFile(path_).substr(0, cut.size()), cut);
  EXPECT_EQ(journal::readJournalLines().back(), "la suite");

  // A journal the full volume could not even start is not left behind empty.
  fs::remove(path_);
  writeFile(profile() / "bourrage", std::string(8192, 'b'));
  fillVolume(profile());
  EXPECT_FALSE(journal::appendJournalLine("rien"));
  journal::ensureJournal();
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(JournalFaultTest, AJournalThatCannotBeWrittenIsToldOncePerJobAndKeepsWhatItHeld) {
  for (const Fault fault : kFaults) {
    SCOPED_TRACE(faultName(fault));
    hl::reset();
    ASSERT_TRUE(app::startUp());
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    const std::string held = onePageJournal();
    ASSERT_EQ(held.size(), 4096u);
    writeFile(path_, held);
    FaultHold hold = makeFault(fault, profile(), path_);
    if (!hold.skipped.empty()) {
      std::cout << "[  SKIPPED ] " << faultName(fault) << ": " << hold.skipped << "\n";
      continue;
    }
    const auto before = snapshot(profile());
    for (int i = 0; i < 4; ++i)
      EXPECT_FALSE(journal::appendJournalLine("ligne " + std::to_string(i)));
    journal::ensureJournal();
    EXPECT_EQ(journalFailureBoxes(), 1);
    EXPECT_EQ(snapshot(profile()), before);
    // The next job is told again.
    journal::rearmWriteFailureNotice();
    EXPECT_FALSE(journal::appendJournalLine("ligne suivante"));
    EXPECT_EQ(journalFailureBoxes(), 2);
    EXPECT_EQ(snapshot(profile()), before);
    hold = {};
    if (fault == Fault::readOnlyFile || fault == Fault::immutableFile ||
        fault == Fault::readOnlyFolder) {
      EXPECT_EQ(readFile(path_), held);
    }
  }
}

TEST_F(JournalFaultTest, AJournalInAMissingProfileFolderIsToldAndNotMade) {
  journal::setJournalFile((profile() / "parti" / "ravelundlog.ini").string(),
                          journal::journalKey());
  EXPECT_FALSE(journal::appendJournalLine("A"));
  EXPECT_FALSE(journal::appendJournalLine("B"));
  journal::ensureJournal();
  EXPECT_EQ(journalFailureBoxes(), 1);
  EXPECT_FALSE(fs::exists(profile() / "parti"));
}

// ---- A whole job ---------------------------------------------------------------------

class ProfileJobTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    journal::testing::fixCurrentDate(journal::DateValue{1772719629});
    source_ = root_.path() / "Photos";
    destination_ = root_.path() / "Sauvegardes";
    fs::create_directories(source_ / "vacances" / "plage");
    fs::create_directory(destination_);
    writeFile(source_ / "a.jpg", std::string(70000, 'a'));
    writeFile(source_ / "vide.txt", "");
    writeFile(source_ / "vacances" / "plage" / "c.jpg", std::string(3000, 'c'));
  }

  void TearDown() override {
    endTheProgram();
    journal::testing::useSystemClock();
    ProgramTest::TearDown();
  }

  void startTheProgram() {
    hl::startProgram([] { app::runProgram(); });
    ASSERT_TRUE(hl::waitIdle());
  }

  void endTheProgram() {
    if (!hl::programRunning()) return;
    if (hl::window(app::kPreferencesWindow).open) hl::closeWindowBox(app::kPreferencesWindow);
    platform::postClose(app::kJournalWindow);
    platform::postClose(app::kMainWindow);
    EXPECT_TRUE(hl::waitProgramEnd());
    EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  }

  // "Démarrer" on the test's folders, through to the verdict (the verification
  // asked for by the option or, without it, by the answer Yes).
  void runAJobToItsVerdict(std::size_t jobNumber = 1) {
    hl::typeText(app::kSourceField, source_.string() + "/");
    hl::typeText(app::kDestinationField, destination_.string() + "/");
    hl::pressControl(app::kStartButton);
    ASSERT_TRUE(runUntilBox("Contrôle", jobNumber));
    ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
    ASSERT_TRUE(hl::waitIdle());
    EXPECT_EQ(boxesCaptioned("Contrôle").back().text,
              "La copie de [ Photos ] s'est terminée sans erreur.");
    EXPECT_EQ(snapshot(destination_ / "Photos"), snapshot(source_));
    EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  }

  void openPreferences() {
    hl::pressControl(app::kSettingsButton);
    ASSERT_TRUE(hl::waitIdle());
    ASSERT_TRUE(hl::window(app::kPreferencesWindow).open);
  }

  fs::path journalFile() const { return profile() / "ravelundlog.ini"; }
  fs::path settingsFile() const { return profile() / "ravelund.ini"; }

  testsupport::TempFolder root_;
  fs::path source_;
  fs::path destination_;
};

TEST_F(ProfileJobTest, AJobRunsToItsVerdictWhateverKeepsTheJournalFromBeingWritten) {
  for (const Fault fault : kFaults) {
    SCOPED_TRACE(faultName(fault));
    hl::reset();
    fs::remove_all(destination_ / "Photos");
    std::error_code ignored;
    fs::remove_all(journalFile(), ignored);
    setOptions({"log", "verif"});
    writeFile(journalFile(), onePageJournal());
    FaultHold hold = makeFault(fault, profile(), journalFile());
    if (!hold.skipped.empty()) {
      std::cout << "[  SKIPPED ] " << faultName(fault) << ": " << hold.skipped << "\n";
      continue;
    }
    const auto before = snapshot(profile());
    startTheProgram();
    runAJobToItsVerdict();
    EXPECT_EQ(boxesCaptioned("Copie").at(0).text, "La copie de Photos est terminée.");
    // About twenty lines failed: the user heard of it once.
    EXPECT_EQ(journalFailureBoxes(), 1);
    EXPECT_EQ(snapshot(profile()), before);
    endTheProgram();
  }
}

TEST_F(ProfileJobTest, AJournalFailureIsToldOncePerJobFromTheScanToTheVerification) {
  setOptions({"log", "verif", "space"});
  fs::create_directory(journalFile());
  startTheProgram();
  for (int job = 1; job <= 2; ++job) {
    SCOPED_TRACE("job " + std::to_string(job));
    // Choosing the source journals its count, and choosing the destination
    // the free-space check's figures, each once its thread has measured.
    hl::answerNextChooser(source_.string());
    hl::pressControl(app::kSourceChooserButton);
    ASSERT_TRUE(hl::waitIdle());
    ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
    ASSERT_TRUE(hl::waitIdle());
    EXPECT_EQ(journalFailureBoxes(), job);
    hl::answerNextChooser(destination_.string());
    hl::pressControl(app::kDestinationChooserButton);
    // The destination's queries and the check end by giving the window back.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(platform::headless::kHangCeilingMs);
    do {
      ASSERT_TRUE(hl::waitSettled());
      ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    } while (!hl::window(app::kMainWindow).enabled);
    EXPECT_EQ(app::appState().statusText.get(),
              "L'espace disponible pour recevoir la copie du dossier est suffisant.");
    fs::remove_all(destination_ / "Photos");
    runAJobToItsVerdict(static_cast<std::size_t>(job));
    EXPECT_EQ(journalFailureBoxes(), job);
  }
  EXPECT_EQ(namesIn(journalFile()), std::set<std::string>{});
}

TEST_F(ProfileJobTest, WithoutItsProfileFolderTheProgramRunsAndTellsWhatItCouldNotSave) {
  const fs::path gone = profile() / "supprimé";
  ::setenv("HOME", gone.c_str(), 1);
  startTheProgram();
  // No settings can be read: every option is off, so the verification is asked for.
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerYes);
  runAJobToItsVerdict();
  EXPECT_EQ(boxesCaptioned("Vérification").size(), 1u);
  EXPECT_EQ(journalFailureBoxes(), 0);  // the journal is off

  openPreferences();
  platform::setChecked(app::kJournalCheckBox, true);
  hl::pressControl(39);  // "Enregistrer"
  ASSERT_TRUE(hl::waitIdle());
  const auto saved = boxesCaptioned("Erreur!");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].text, kSaveFailure);
  EXPECT_EQ(saved[0].kind, 16);
  EXPECT_TRUE(hl::window(app::kPreferencesWindow).open);
  EXPECT_FALSE(fs::exists(gone));

  // The cancellation line, written whatever the option, fails like any other.
  hl::closeWindowBox(app::kPreferencesWindow);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_FALSE(journal::appendJournalLine("ANNULATION DE LA COPIE EN COURS PAR L'UTILISATEUR"));
  EXPECT_EQ(journalFailureBoxes(), 1);
}

// ---- The settings file ----------------------------------------------------------------

TEST_F(ProfileJobTest, ASettingsFileThatCannotBeReplacedKeepsItsOptionsAndTheSaveIsTold) {
  const std::string held =
      "verif = ok\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n";
  for (const Fault fault : kFaults) {
    SCOPED_TRACE(faultName(fault));
    hl::reset();
    fs::remove_all(destination_ / "Photos");
    std::error_code ignored;
    fs::remove_all(settingsFile(), ignored);
    writeFile(settingsFile(), held);
    FaultHold hold = makeFault(fault, profile(), settingsFile());
    if (!hold.skipped.empty()) {
      std::cout << "[  SKIPPED ] " << faultName(fault) << ": " << hold.skipped << "\n";
      continue;
    }
    const auto before = snapshot(profile());
    startTheProgram();
    openPreferences();
    const bool readable = fault != Fault::folderInPlace;
    EXPECT_EQ(hl::control(app::kVerifyCheckBox).checked, readable);
    platform::setChecked(app::kOpenCopyCheckBox, true);
    hl::pressControl(39);  // "Enregistrer"
    ASSERT_TRUE(hl::waitIdle());
    const auto saved = boxesCaptioned("Erreur!");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text, kSaveFailure);
    EXPECT_TRUE(hl::window(app::kPreferencesWindow).open);
    // Nothing changed, and no temporary file was left beside the settings.
    EXPECT_EQ(snapshot(profile()), before);
    hl::closeWindowBox(app::kPreferencesWindow);
    ASSERT_TRUE(hl::waitIdle());

    // The job reads what the file still holds: the verification without a
    // question when it is readable, the question when it is not.
    hl::answerNextBox(platform::kAnswerOk);
    if (!readable) hl::answerNextBox(platform::kAnswerYes);
    runAJobToItsVerdict();
    EXPECT_EQ(boxesCaptioned("Vérification").size(), readable ? 0u : 1u);
    EXPECT_EQ(snapshot(profile()), before);
    endTheProgram();
  }
}

TEST_F(ProfileJobTest, DamagedSettingsFilesAreReadAsFarAsTheyGoAndNeverRewritten) {
  std::mt19937 random(15);
  std::string garbage;
  while (garbage.size() < 4096) {
    const char byte = static_cast<char>(random());
    // No group header, which would hide the keys after it.
    if (byte != '[') garbage.push_back(byte);
  }
  std::string tenMegabytes;
  while (tenMegabytes.size() < (10u << 20)) {
    tenMegabytes += "cle numero " + std::to_string(tenMegabytes.size()) + " = valeur\r\n";
  }
  struct Case {
    const char* name;
    std::string bytes;
    bool verify;
  };
  const Case cases[] = {
      {"binary garbage around the key", garbage + "\r\nverif = ok\r\n" + garbage, true},
      {"a NUL byte inside the value", std::string("verif = o\0k\r\nspace = ok\r\n", 24), false},
      {"a NUL byte before the key", std::string("\0verif = ok\r\n", 13), false},
      {"CR-only line ends", "space = no\rverif = ok\rlog = no\r", true},
      {"mixed line ends", "space = no\nlog = no\r\n\r\rverif = ok\n", true},
      {"a key repeated, the first off", "verif = no\r\nverif = ok\r\n", false},
      {"a key repeated, the first on", "VERIF = ok\r\nverif = no\r\n", true},
      {"a byte-order mark", "\xEF\xBB\xBFverif = ok\r\nlog = no\r\n", true},
      {"a byte-order mark alone", "\xEF\xBB\xBF", false},
      {"ten megabytes of text before the key", tenMegabytes + "verif = ok\r\n", true},
      {"ten megabytes on one line", std::string(10u << 20, 'v') + "\nverif = ok", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hl::reset();
    fs::remove_all(destination_ / "Photos");
    fs::remove(journalFile());
    writeFile(settingsFile(), c.bytes);
    startTheProgram();
    openPreferences();
    EXPECT_EQ(hl::control(app::kVerifyCheckBox).checked, c.verify);
    EXPECT_FALSE(hl::control(app::kJournalCheckBox).checked);
    hl::pressControl(40);  // "Fermer"
    ASSERT_TRUE(hl::waitIdle());
    hl::answerNextBox(platform::kAnswerOk);
    if (!c.verify) hl::answerNextBox(platform::kAnswerYes);
    runAJobToItsVerdict();
    EXPECT_EQ(boxesCaptioned("Vérification").size(), c.verify ? 0u : 1u);
    EXPECT_EQ(readFile(settingsFile()), c.bytes);
    EXPECT_FALSE(fs::exists(journalFile()));
    endTheProgram();
  }
}

TEST_F(ProfileJobTest, ASettingsFileOfHundredsOfMegabytesIsReadOnlyAsFarAsItsOptions) {
  std::string bytes = "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n";
  const std::size_t head = bytes.size();
  bytes.resize(300u << 20, 'x');
  writeFile(settingsFile(), bytes);
  bytes.clear();
  bytes.shrink_to_fit();
  startTheProgram();
  runAJobToItsVerdict();
  EXPECT_EQ(boxesCaptioned("Vérification").size(), 0u);
  EXPECT_EQ(journal::readJournalLines().back(), "");
  EXPECT_EQ(fs::file_size(settingsFile()), std::uintmax_t{300} << 20);
  std::ifstream in(settingsFile(), std::ios::binary);
  std::string start(head, '\0');
  in.read(start.data(), static_cast<std::streamsize>(head));
  EXPECT_EQ(start, "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
}

TEST(SettingsReaderTest, TheOptionReaderAgreesWithTheWholeFileReaderOnAnyFile) {
  testsupport::TempFolder folder;
  const fs::path file = folder.path() / "ravelund.ini";
  const std::string_view keys[] = {"verif", "space", "log", "opencopy", "openlog"};
  const char* pieces[] = {"verif", "VERIF",        "Space", "log",   "opencopy", "openlog",
                          "autre", " = ",          "=",     " \t= ", "ok",       "no",
                          "ok \t", "OK",           "\r\n",  "\r",    "\n",       "\r\n",
                          " ",     "\t",           ";",     "[",     "]",        "é",
                          "\xE9",  "\xEF\xBB\xBF", "\x00",  "\xFF"};
  std::mt19937 random(2026);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::string bytes;
    if (round % 4 == 0) bytes = "\xEF\xBB\xBF";
    // Long runs of filler put lines across the reader's 64 KiB pieces.
    const std::size_t size = 1000 + random() % 300000;
    while (bytes.size() < size) {
      if (random() % 50 == 0) {
        bytes += std::string(random() % 70000, 'z');
      } else {
        const char* piece = pieces[random() % std::size(pieces)];
        // "[" is rare, or every key would hide behind a group header.
        if (piece[0] == '[' && random() % 8 != 0) continue;
        // The NUL piece reads as an empty C text: it stands for a NUL byte.
        bytes += piece[0] == '\0' ? std::string(1, '\0') : std::string(piece);
      }
    }
    writeFile(file, bytes);
    settings::IniFile whole;
    ASSERT_TRUE(whole.open(file.string()));
    std::vector<std::string> streamed;
    ASSERT_TRUE(settings::IniFile::readValues(file.string(), keys, streamed));
    ASSERT_EQ(streamed.size(), std::size(keys));
    for (std::size_t i = 0; i < std::size(keys); ++i) {
      EXPECT_EQ(streamed[i], whole.readString(keys[i], "")) << keys[i];
    }
  }
  std::vector<std::string> none;
  EXPECT_FALSE(settings::IniFile::readValues((folder.path() / "absent.ini").string(), keys, none));
  fs::create_directory(folder.path() / "dossier.ini");
  EXPECT_FALSE(settings::IniFile::readValues((folder.path() / "dossier.ini").string(), keys, none));
}

TEST_F(ProfileJobTest, AJournalOfHundredsOfMegabytesOnlyGrowsByTheJobsLines) {
  setOptions({"log", "verif"});
  // 300 MiB whose last line is a whole record: a sparse run of zero bytes,
  // then one record with its line end.
  const std::string last = record("Fin du processus de copie le : 01/01/2026 à 10:00:00");
  const std::uintmax_t size = std::uintmax_t{300} << 20;
  writeFile(journalFile(), "");
  fs::resize_file(journalFile(), size - last.size());
  {
    std::ofstream out(journalFile(), std::ios::binary | std::ios::app);
    out << last;
  }
  startTheProgram();
  runAJobToItsVerdict();
  EXPECT_EQ(journalFailureBoxes(), 0);
  std::ifstream in(journalFile(), std::ios::binary);
  const std::uintmax_t grown = fs::file_size(journalFile());
  ASSERT_GT(grown, size);
  std::string tail(static_cast<std::size_t>(grown - size + last.size()), '\0');
  in.seekg(static_cast<std::streamoff>(size - last.size()));
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  // The old last line is untouched and the job's first record follows it directly.
  EXPECT_EQ(tail.substr(0, last.size()), last);
  EXPECT_EQ(
      tail.substr(last.size(), 4),
      record("---------------------------- [ Photos ]-------------------------------------------")
          .substr(0, 4));
  EXPECT_EQ(tail.substr(tail.size() - 2), "\r\n");
}

// ---- A damaged journal -----------------------------------------------------------------

TEST_F(ProfileJobTest, ADamagedJournalIsShownLineByLineAndOnlyEverGrows) {
  const std::string good = record("Démarrage de la copie le : 01/01/2026 à 10:00:00");
  const std::string damaged = record("Journal créé le : 01 - 01 - 2026 à 09:59:00") + record("") +
                              good.substr(0, 20) + "\r\n" +            // cut short
                              good.substr(0, 31) + "\r\n" +            // odd length
                              "ZZ-pas-hexadécimal-QQ\r\n" +            // not hexadecimal
                              std::string("\0\0\xFF\xFE", 4) + "\n" +  // binary
                              good.substr(0, good.size() - 2);         // no final line end
  setOptions({"log", "verif"});
  writeFile(journalFile(), damaged);
  startTheProgram();
  hl::chooseMenuItem(app::kMainWindow, app::kOpenJournalItem);
  ASSERT_TRUE(hl::waitIdle());
  ASSERT_TRUE(hl::window(app::kJournalWindow).open);
  const auto shown = hl::control(app::kJournalTextArea).lines;
  ASSERT_EQ(shown.size(), 7u);
  EXPECT_EQ(shown[0], "Journal créé le : 01 - 01 - 2026 à 09:59:00");
  EXPECT_EQ(shown[1], "");
  EXPECT_EQ(shown[6], "Démarrage de la copie le : 01/01/2026 à 10:00:00");
  hl::closeWindowBox(app::kJournalWindow);
  ASSERT_TRUE(hl::waitIdle());

  runAJobToItsVerdict();
  const std::string after = readFile(journalFile());
  ASSERT_GT(after.size(), damaged.size());
  EXPECT_EQ(after.substr(0, damaged.size()), damaged);
  // The job's first record starts on a line of its own after the old last line.
  EXPECT_EQ(after.substr(damaged.size(), 2), "\r\n");
  const auto lines = journal::readJournalLines();
  ASSERT_GT(lines.size(), 8u);
  EXPECT_EQ(lines[6], "Démarrage de la copie le : 01/01/2026 à 10:00:00");
  EXPECT_EQ(lines[7],
            "---------------------------- [ Photos ]-------------------------------------------");
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(journalFailureBoxes(), 0);
}

}  // namespace
