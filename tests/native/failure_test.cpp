// Why an element could not be copied: the one table of words, the POSIX
// numbers behind it, each cause reached for real where Linux can make it,
// the journal's line and the end box word for word; the machine kept awake
// exactly while a job thread runs; the taskbar button's states.
#include "platform/failure.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
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
#include "platform/taskbar.h"
#include "platform/threads.h"
#include "platform/tree.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace hl = platform::headless;
using testsupport::boxesCaptioned;
using testsupport::runUntilBox;
using namespace std::chrono_literals;
using copyjob::FailedElement;
using engine::FailureReason;
using platform::FailureCause;
using platform::TaskbarProgress;
using testsupport::writeFile;

constexpr unsigned kAllFlags = engine::kRecurse | engine::kResetTargetAttributes;

std::string words(FailureCause cause, std::uint32_t error = 0) {
  return copyjob::failureReasonText({cause, error});
}

std::size_t characters(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The lines of a box's text, blank lines left out.
std::vector<std::string> boxLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find('\r', start);
    if (at != start) lines.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return lines;
    start = at + 1;
  }
}

// ---- The table -------------------------------------------------------------------------

TEST(FailureReasons, EachCauseHasItsFrenchWords) {
  EXPECT_EQ(words(FailureCause::accessRefused), "accès refusé");
  EXPECT_EQ(words(FailureCause::heldByAnotherProgram), "fichier utilisé par un autre programme");
  EXPECT_EQ(words(FailureCause::noRoom), "espace insuffisant sur la destination");
  EXPECT_EQ(words(FailureCause::notFound), "introuvable");
  EXPECT_EQ(words(FailureCause::nameTooLong), "nom ou chemin trop long");
  EXPECT_EQ(words(FailureCause::invalidName), "nom non valide sur la destination");
  EXPECT_EQ(words(FailureCause::mediumGone), "support déconnecté");
  EXPECT_EQ(words(FailureCause::networkLost), "chemin réseau perdu");
  EXPECT_EQ(words(FailureCause::mediumError), "erreur de lecture ou d'écriture du support");
  EXPECT_EQ(words(FailureCause::writeProtected), "support protégé en écriture");
  EXPECT_EQ(words(FailureCause::changedDuringCopy), "modifié pendant la copie");
  EXPECT_EQ(words(FailureCause::caseClash),
            "nom déjà utilisé (majuscules et minuscules confondues)");
  EXPECT_EQ(words(FailureCause::danglingLink), "lien sans cible");
  EXPECT_EQ(words(FailureCause::destinationGone), "destination disparue");
  EXPECT_EQ(words(FailureCause::other, 1234), "erreur système 1234");
}

TEST(FailureReasons, PosixNumbersMapToTheirCauses) {
  const std::pair<int, FailureCause> table[] = {
      {EACCES, FailureCause::accessRefused}, {EPERM, FailureCause::accessRefused},
      {ENOSPC, FailureCause::noRoom},        {EDQUOT, FailureCause::noRoom},
      {ENOENT, FailureCause::notFound},      {ENAMETOOLONG, FailureCause::nameTooLong},
      {ENODEV, FailureCause::mediumGone},    {ENXIO, FailureCause::mediumGone},
      {EIO, FailureCause::mediumError},      {EROFS, FailureCause::writeProtected},
      {EMFILE, FailureCause::other},         {0, FailureCause::other},
  };
  for (const auto& [number, cause] : table) {
    EXPECT_EQ(platform::failureCause(static_cast<std::uint32_t>(number)), cause) << number;
  }
  EXPECT_EQ(copyjob::failureReasonText(engine::reasonOfError(EMFILE)),
            "erreur système " + std::to_string(EMFILE));
  EXPECT_EQ(copyjob::failureReasonText(engine::reasonOfError(ENOSPC)),
            "espace insuffisant sur la destination");
}

// ---- The end box's text ----------------------------------------------------------------

TEST(EndBoxText, ACopyWithoutFailuresKeepsItsOneLine) {
  EXPECT_EQ(copyjob::copyEndText("Photos", {}, true), "La copie de Photos est terminée.");
}

TEST(EndBoxText, TenElementsAreNamedAndTheRestCounted) {
  std::vector<FailedElement> failed;
  for (int i = 0; i < 13; ++i) failed.push_back({"/s/f" + std::to_string(i), "introuvable"});
  const auto expected = [](const std::string& count) {
    std::string text =
        "La copie de Photos est terminée.\r\r" + count + " élément(s) n'ont pu être copié(s).";
    for (int i = 0; i < 10; ++i) {
      text += (i == 0 ? "\r\r/s/f" : "\r/s/f") + std::to_string(i) + " : introuvable";
    }
    return text;
  };
  EXPECT_EQ(copyjob::copyEndText("Photos", failed, false), expected("13") + "\r... et 3 autre(s).");
  EXPECT_EQ(copyjob::copyEndText("Photos", failed, true),
            expected("13") + "\r... et 3 autre(s), voir le journal.");
  failed.resize(10);
  EXPECT_EQ(copyjob::copyEndText("Photos", failed, true), expected("10"));
}

TEST(EndBoxText, ALongPathIsShortenedInItsMiddleToOneHundredCharacters) {
  const std::string head = "/données/été/" + std::string(60, 'a');
  const std::string tail = std::string(60, 'z') + "/fin.jpg";
  const std::string path = head + tail;
  const std::string reason = words(FailureCause::caseClash);
  const auto lines = boxLines(copyjob::copyEndText("Photos", {{path, reason}}, true));
  ASSERT_EQ(lines.size(), 3u);
  const std::string& line = lines[2];
  EXPECT_EQ(characters(line), 100u);
  const std::string after = " : " + reason;
  ASSERT_TRUE(line.ends_with(after)) << line;
  const std::string shown = line.substr(0, line.size() - after.size());
  const std::size_t mark = shown.find("...");
  ASSERT_NE(mark, std::string::npos);
  EXPECT_TRUE(path.starts_with(shown.substr(0, mark))) << shown;
  EXPECT_TRUE(path.ends_with(shown.substr(mark + 3))) << shown;
  EXPECT_TRUE(shown.starts_with("/données/été/aaa"));
  EXPECT_TRUE(shown.ends_with("zzz/fin.jpg"));
  // A path that fits stays whole.
  EXPECT_EQ(boxLines(copyjob::copyEndText("Photos", {{"/court", reason}}, true))[2],
            "/court : " + reason);
}

TEST(EndBoxText, TheJournalLineCarriesTheReasonInBrackets) {
  EXPECT_EQ(copyjob::failedElementJournalLine({"/s/Photos/a.jpg", "accès refusé"}),
            "Echec de la copie : /s/Photos/a.jpg (accès refusé)");
}

// ---- Causes reached for real -------------------------------------------------------------

// Root reads any file: the thread that calls this gives up the two
// capabilities that let it (capabilities belong to each thread on Linux, and
// the threads it starts inherit them), so a file without read permission is
// refused to it as to anyone. Taken back by the destructor.
class WithoutReadingRights {
 public:
  WithoutReadingRights() { change(false); }
  ~WithoutReadingRights() { change(true); }
  WithoutReadingRights(const WithoutReadingRights&) = delete;
  WithoutReadingRights& operator=(const WithoutReadingRights&) = delete;

 private:
  static void change(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return;
    const unsigned bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective =
        on ? (data[0].effective | (data[0].permitted & bits)) : (data[0].effective & ~bits);
    syscall(SYS_capset, &header, data);
  }
};

class RealCauses : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = root_.path() / "src";
    target_ = root_.path() / "dst";
    fs::create_directory(source_);
  }
  // Copies source_ into target_ on a thread of its own; the failures told.
  std::vector<std::pair<std::string, std::string>> copy(bool withoutRights = false) {
    std::vector<std::pair<std::string, std::string>> failed;
    std::thread worker([&] {
      std::optional<WithoutReadingRights> rights;
      if (withoutRights) rights.emplace();
      engine::copyFolderTree(source_.string(), target_.string(), "*.*", kAllFlags,
                             [&](const std::string& path, const FailureReason& reason) {
                               failed.emplace_back(path, copyjob::failureReasonText(reason));
                             });
    });
    worker.join();
    return failed;
  }
  using Told = std::vector<std::pair<std::string, std::string>>;
  testsupport::TempFolder root_;
  fs::path source_;
  fs::path target_;
};

TEST_F(RealCauses, AFileWithoutReadPermissionIsAccessRefused) {
  writeFile(source_ / "secret", "s");
  writeFile(source_ / "public", "p");
  fs::permissions(source_ / "secret", fs::perms::none);
  EXPECT_EQ(copy(true), (Told{{(source_ / "secret").string(), "accès refusé"}}));
  EXPECT_EQ(testsupport::readFile(target_ / "public"), "p");
}

TEST_F(RealCauses, ALinkWithoutItsTargetIsALinkWithoutTarget) {
  fs::create_symlink(root_.path() / "disparu", source_ / "lien");
  EXPECT_EQ(copy(), (Told{{(source_ / "lien").string(), "lien sans cible"}}));
}

// No file system of this kernel takes names past 255 bytes, so the name that
// is too long is met on the way to a file: a link whose target names one.
TEST_F(RealCauses, ANameTooLongIsTold) {
  fs::create_symlink(root_.path() / std::string(300, 'n'), source_ / "long");
  EXPECT_EQ(copy(), (Told{{(source_ / "long").string(), "nom ou chemin trop long"}}));
}

TEST_F(RealCauses, AFolderThatCannotBeListedIsAccessRefused) {
  fs::create_directory(source_ / "ferme");
  writeFile(source_ / "ferme" / "f", "f");
  fs::permissions(source_ / "ferme", fs::perms::none);
  EXPECT_EQ(copy(true), (Told{{(source_ / "ferme").string() + "/", "accès refusé"}}));
  fs::permissions(source_ / "ferme", fs::perms::owner_all);
}

TEST_F(RealCauses, AFolderThatCannotBeMadeOnAReadOnlyVolumeIsWriteProtected) {
  if (geteuid() != 0) GTEST_SKIP() << "a read-only tmpfs needs root";
  fs::create_directory(target_);
  if (::mount("tmpfs", target_.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
    GTEST_SKIP() << "mounting a tmpfs failed: " << std::strerror(errno);
  }
  fs::create_directory(source_ / "sous");
  const fs::path mountedTarget = target_;
  target_ /= "copie";
  const Told told = copy();
  ::umount2(mountedTarget.c_str(), MNT_DETACH);
  EXPECT_EQ(told, (Told{{source_.string() + "/", "support protégé en écriture"}}));
}

TEST_F(RealCauses, AFullVolumeIsNoRoom) {
  if (geteuid() != 0) GTEST_SKIP() << "a tmpfs needs root";
  fs::create_directory(target_);
  if (::mount("tmpfs", target_.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "mounting a tmpfs failed: " << std::strerror(errno);
  }
  writeFile(source_ / "grand.bin", std::string(1 << 20, 'g'));
  const Told told = copy();
  ::umount2(target_.c_str(), MNT_DETACH);
  EXPECT_EQ(told,
            (Told{{(source_ / "grand.bin").string(), "espace insuffisant sur la destination"}}));
}

// ---- Whole jobs: the journal and the end box word for word --------------------------------

class FailureJobTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    journal::testing::fixCurrentDate(journal::DateValue{1772719629});
    source_ = root_.path() / "Photos";
    destination_ = root_.path() / "Sauvegardes";
    fs::create_directory(source_);
    fs::create_directory(destination_);
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
  void startJob() {
    hl::typeText(app::kSourceField, source_.string() + "/");
    hl::typeText(app::kDestinationField, destination_.string() + "/");
    hl::pressControl(app::kStartButton);
    ASSERT_TRUE(hl::waitIdle());
  }
  static bool runUntil(const std::function<bool()>& condition) {
    return testsupport::runTimersUntil(condition) && hl::waitIdle();
  }
  static std::vector<std::string> failureLines() {
    std::vector<std::string> lines;
    for (const auto& line : journal::readJournalLines()) {
      if (line.rfind("Echec de la copie : ", 0) == 0) lines.push_back(line);
    }
    return lines;
  }
  // Twelve links without targets and one file nobody may read: thirteen
  // failed elements.
  void makeThirteenFailures() {
    for (int i = 0; i < 12; ++i) {
      fs::create_symlink(root_.path() / "disparu", source_ / ("lien" + std::to_string(i)));
    }
    writeFile(source_ / "secret", "s");
    fs::permissions(source_ / "secret", fs::perms::none);
    writeFile(source_ / "bon.jpg", "ok");
  }
  std::string reasonFor(const std::string& path) const {
    return path == (source_ / "secret").string() ? "accès refusé" : "lien sans cible";
  }

  testsupport::TempFolder root_;
  fs::path source_;
  fs::path destination_;
};

TEST_F(FailureJobTest, TheJournalAndTheEndBoxNameEachFailureWithItsReasonCutAtTen) {
  setOptions({"log"});
  makeThirteenFailures();
  {
    // The program's threads start from this one and inherit its rights.
    WithoutReadingRights rights;
    startTheProgram();
  }
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerNo);  // no verification
  startJob();
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  ASSERT_TRUE(hl::waitIdle());

  // The journal: one line per element, in the order the copy met them.
  const auto lines = failureLines();
  ASSERT_EQ(lines.size(), 13u);
  std::vector<std::string> paths;
  for (const auto& line : lines) {
    const std::string rest = line.substr(std::strlen("Echec de la copie : "));
    const std::string path = rest.substr(0, rest.find(" ("));
    paths.push_back(path);
    EXPECT_EQ(line, "Echec de la copie : " + path + " (" + reasonFor(path) + ")");
  }
  EXPECT_NE(std::find(paths.begin(), paths.end(), (source_ / "secret").string()), paths.end());

  const auto box = boxesCaptioned("Copie");
  ASSERT_EQ(box.size(), 1u);
  EXPECT_EQ(box[0].kind, platform::kBoxWarning);
  std::string expected =
      "La copie de Photos est terminée.\r\r13 élément(s) n'ont pu être copié(s).";
  for (int i = 0; i < 10; ++i) {
    expected += (i == 0 ? "\r\r" : "\r") + paths[i] + " : " + reasonFor(paths[i]);
  }
  expected += "\r... et 3 autre(s), voir le journal.";
  EXPECT_EQ(box[0].text, expected);
}

TEST_F(FailureJobTest, WithoutTheJournalTheEndBoxStillNamesThemAndCountsTheRest) {
  makeThirteenFailures();
  {
    WithoutReadingRights rights;
    startTheProgram();
  }
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerNo);
  startJob();
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  const auto lines = boxLines(boxesCaptioned("Copie")[0].text);
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "La copie de Photos est terminée.");
  EXPECT_EQ(lines[1], "13 élément(s) n'ont pu être copié(s).");
  for (int i = 2; i < 12; ++i) {
    const std::size_t colon = lines[i].find(" : ");
    ASSERT_NE(colon, std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].substr(colon + 3), reasonFor(lines[i].substr(0, colon))) << lines[i];
  }
  EXPECT_EQ(lines[12], "... et 3 autre(s).");
  EXPECT_TRUE(failureLines().empty());
}

// ---- The machine kept awake ---------------------------------------------------------------

TEST_F(FailureJobTest, TheWakeRequestIsHeldExactlyWhileTheCopyRunsAndReleasedAtItsEnd) {
  writeFile(source_ / "grand.bin", std::string(6 << 20, 'g'));
  platform::testing::slowCopyChunks(100);
  const int madeBefore = hl::wakeRequests().made;
  EXPECT_EQ(hl::wakeRequests().holders, 0);
  startTheProgram();
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerNo);
  startJob();
  ASSERT_TRUE(runUntil([] { return hl::wakeRequests().made > 0; }));
  EXPECT_TRUE(platform::threadRunning(app::appState().copyThread));
  EXPECT_GE(hl::wakeRequests().holders, 1);
  EXPECT_GT(hl::wakeRequests().made, madeBefore);
  platform::testing::slowCopyChunks(0);
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  EXPECT_EQ(hl::wakeRequests().holders, 0);
}

TEST_F(FailureJobTest, TheWakeRequestIsReleasedWhenTheProgramQuitsDuringACopy) {
  writeFile(source_ / "grand.bin", std::string(20 << 20, 'g'));
  platform::testing::slowCopyChunks(200);
  startTheProgram();
  startJob();
  ASSERT_TRUE(runUntil([] { return hl::wakeRequests().holders > 0; }));
  platform::postClose(app::kMainWindow);
  ASSERT_TRUE(hl::waitProgramEnd(20000));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  EXPECT_EQ(hl::wakeRequests().holders, 0);
}

TEST_F(FailureJobTest, AFailedThreadStartNeverLeavesTheWakeRequestHeld) {
  writeFile(source_ / "a.jpg", "a");
  startTheProgram();
  const int madeBefore = hl::wakeRequests().made;
  platform::testing::failNextThreadStart();
  startJob();
  ASSERT_EQ(boxesCaptioned("Thread error!").size(), 1u);
  EXPECT_EQ(hl::wakeRequests().made, madeBefore);
  EXPECT_EQ(hl::wakeRequests().holders, 0);
}

// ---- The taskbar button -------------------------------------------------------------------

TEST_F(FailureJobTest, TheTaskbarShowsTheCopyThenTheVerificationThenNothing) {
  setOptions({"verif"});
  writeFile(source_ / "a.jpg", std::string(3000, 'a'));
  startTheProgram();
  startJob();
  ASSERT_TRUE(runUntilBox("Contrôle"));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  ASSERT_TRUE(hl::waitIdle());
  const auto record = hl::taskbar();
  EXPECT_EQ(record.history,
            (std::vector<TaskbarProgress>{TaskbarProgress::normal, TaskbarProgress::none,
                                          TaskbarProgress::indeterminate, TaskbarProgress::none}));
  EXPECT_EQ(record.state, TaskbarProgress::none);
  EXPECT_EQ(record.flashes, 0);
}

TEST_F(FailureJobTest, FailedElementsLeaveTheErrorStateUntilTheUserClicksInTheWindow) {
  setOptions({"verif"});
  fs::create_symlink(root_.path() / "disparu", source_ / "lien");
  startTheProgram();
  hl::setWindowInFront(false);
  startJob();
  ASSERT_TRUE(runUntilBox("Contrôle"));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  ASSERT_TRUE(hl::waitIdle());
  auto record = hl::taskbar();
  EXPECT_EQ(record.history,
            (std::vector<TaskbarProgress>{TaskbarProgress::normal, TaskbarProgress::error,
                                          TaskbarProgress::indeterminate, TaskbarProgress::error}));
  EXPECT_EQ(record.state, TaskbarProgress::error);
  // Both boxes came up behind other windows: the button flashed for each.
  EXPECT_TRUE(boxesCaptioned("Copie")[0].flashed);
  EXPECT_TRUE(boxesCaptioned("Contrôle")[0].flashed);
  EXPECT_EQ(record.flashes, 2);
  hl::setWindowInFront(true);
  hl::clickWindow(app::kMainWindow);
  EXPECT_EQ(hl::taskbar().state, TaskbarProgress::none);
}

TEST_F(FailureJobTest, TheNextJobTakesTheErrorStateAway) {
  fs::create_symlink(root_.path() / "disparu", source_ / "lien");
  startTheProgram();
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerNo);
  startJob();
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_EQ(hl::taskbar().state, TaskbarProgress::error);
  fs::remove(source_ / "lien");
  writeFile(source_ / "a.jpg", "a");
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerNo);
  startJob();
  ASSERT_TRUE(runUntilBox("Copie", 2));
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  const auto history = hl::taskbar().history;
  ASSERT_GE(history.size(), 2u);
  EXPECT_EQ(history[history.size() - 2], TaskbarProgress::normal);
  EXPECT_EQ(history.back(), TaskbarProgress::none);
}

TEST_F(FailureJobTest, TheScanOfAChosenSourceShowsAnIndeterminateTaskbar) {
  writeFile(source_ / "a.jpg", "a");
  startTheProgram();
  hl::answerNextChooser(source_.string() + "/");
  hl::pressControl(app::kSourceChooserButton);
  ASSERT_TRUE(hl::waitIdle());
  ASSERT_TRUE(platform::testing::waitAllThreads(20000));
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_EQ(hl::taskbar().history,
            (std::vector<TaskbarProgress>{TaskbarProgress::indeterminate, TaskbarProgress::none}));
}

TEST_F(FailureJobTest, TheAnnulerQuestionPausesTheTaskbarAndNonResumesIt) {
  writeFile(source_ / "grand.bin", std::string(8 << 20, 'g'));
  platform::testing::slowCopyChunks(100);
  startTheProgram();
  startJob();
  ASSERT_TRUE(runUntil([] { return hl::taskbar().state == TaskbarProgress::normal; }));
  hl::answerNextBox(platform::kAnswerNo);
  hl::pressControl(app::kCancelButton);
  ASSERT_TRUE(hl::waitIdle());
  ASSERT_EQ(boxesCaptioned("Tâche en cours!").size(), 1u);
  const auto history = hl::taskbar().history;
  ASSERT_GE(history.size(), 3u);
  EXPECT_EQ(history[history.size() - 2], TaskbarProgress::paused);
  EXPECT_EQ(history.back(), TaskbarProgress::normal);
  platform::testing::slowCopyChunks(0);
}

TEST_F(FailureJobTest, TheCopysPercentageReachesTheTaskbar) {
  writeFile(source_ / "grand.bin", std::string(30 << 20, 'g'));
  platform::testing::slowCopyChunks(100);
  startTheProgram();
  startJob();
  // The progress bar's value, whatever measures it, is what the button shows.
  ASSERT_TRUE(runUntil([] {
    return platform::threadRunning(app::appState().copyThread) &&
           hl::control(app::kOverallProgressBar).progressValue > 0 &&
           hl::taskbar().percent == hl::control(app::kOverallProgressBar).progressValue;
  }));
  platform::testing::slowCopyChunks(0);
}

}  // namespace
