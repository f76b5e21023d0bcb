// A whole copy job behind "Démarrer", run by the program on its own UI thread
// over real temporary folders: the checks, the journal's blocks, the copy, the
// end box, the verification, the journal window and quitting during a job.
#include "copyjob/job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "app/commands.h"
#include "app/program.h"
#include "app/state.h"
#include "engine/engine.h"
#include "journal/cipher.h"
#include "journal/date.h"
#include "journal/journal.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "platform/tree.h"
#include "test_support.h"
#include "text/text.h"

namespace {

namespace fs = std::filesystem;
namespace hl = platform::headless;
using testsupport::readFile;
using testsupport::snapshot;
using testsupport::writeFile;

constexpr char kDate[] = "05/03/2026 à 14:07:09";

using testsupport::boxesCaptioned;
using testsupport::runUntilBox;

bool hasBox(const std::string& caption) { return !boxesCaptioned(caption).empty(); }

std::int64_t barValue(int control) { return hl::control(control).progressValue; }

bool timerRuns(int timer) {
  for (const auto& running : hl::runningTimers()) {
    if (running.timer == timer) return true;
  }
  return false;
}

class JobTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    journal::testing::fixCurrentDate(journal::DateValue{1772719629});  // 05/03/2026 14:07:09 UTC
    source_ = root_.path() / "Photos";
    destination_ = root_.path() / "Sauvegardes";
    fs::create_directories(source_ / "vacances" / "plage");
    fs::create_directories(source_ / "vide");
    fs::create_directory(destination_);
    writeFile(source_ / "a.jpg", std::string(70000, 'a'));
    writeFile(source_ / "vide.txt", "");
    writeFile(source_ / "vacances" / "b.jpg", "bbbb");
    writeFile(source_ / "vacances" / "plage" / "c.jpg", std::string(3000, 'c'));
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

  void typePaths(const std::string& source, const std::string& destination) {
    hl::typeText(app::kSourceField, source);
    hl::typeText(app::kDestinationField, destination);
  }

  bool waitForThreads() {
    const bool ended = platform::testing::waitAllThreads(platform::headless::kHangCeilingMs);
    return hl::waitIdle() && ended;
  }

  // Presses "Démarrer" and holds the copy once the first chunk of its large
  // file has landed: before its next chunk, or the one after if the pause
  // comes late. The copy's thread.
  int startAndHoldTheCopyInItsLargeFile() {
    hl::pressControl(app::kStartButton);
    EXPECT_TRUE(hl::waitIdle());
    EXPECT_TRUE(platform::pumpUntil([] { return copyjob::landedByteCount() >= (1 << 20); },
                                    hl::kHangCeilingMs));
    const int copyThread = app::appState().copyThread;
    platform::pauseThread(copyThread);
    return copyThread;
  }

  std::vector<std::string> journalLines() { return journal::readJournalLines(); }

  fs::path target() const { return destination_ / "Photos"; }

  testsupport::TempFolder root_;
  fs::path source_;
  fs::path destination_;
};

// ---- Starting a job -------------------------------------------------------------

TEST_F(JobTest, AnEmptyFieldGivesTheOneWarningThatFitsAndChangesNothing) {
  setOptions({"log"});
  struct Case {
    bool source;
    bool destination;
    const char* text;
  };
  const Case cases[] = {
      {true, false, "Vous devez choisir un répertoire de destination!"},
      {false, true, "Vous devez choisir un répertoire à copier!"},
      {false, false, "Vous devez choisir un répertoire à copier et sa destination!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    hl::reset();
    ASSERT_TRUE(app::startUp());
    hl::typeText(app::kSourceField, c.source ? source_.string() + "/" : "");
    hl::typeText(app::kDestinationField, c.destination ? destination_.string() + "/" : "");
    copyjob::startCopy();
    const auto boxes = hl::boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Thread error!");
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].kind, platform::kBoxWarning);
    EXPECT_TRUE(hl::runningTimers().empty());
    EXPECT_TRUE(hl::control(app::kStartButton).enabled);
    EXPECT_EQ(app::appState().statusText.get(), "");
  }
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
  EXPECT_FALSE(fs::exists(target()));
}

TEST_F(JobTest, ACopyThreadThatCannotStartIsReportedAndJournalledInCapitals) {
  setOptions({"log"});
  ASSERT_TRUE(app::startUp());
  const fs::path summer = root_.path() / "été";
  fs::create_directory(summer);
  hl::typeText(app::kSourceField, summer.string() + "/");
  hl::typeText(app::kDestinationField, destination_.string() + "/");
  platform::testing::failNextThreadStart();
  copyjob::startCopy();
  const auto boxes = hl::boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Thread error!");
  EXPECT_EQ(boxes[0].text, "Le thread n'a pu se lancer");
  EXPECT_EQ(boxes[0].kind, platform::kBoxError);
  EXPECT_EQ(app::appState().statusText.get(), "La copie a échouée!");
  EXPECT_TRUE(hl::runningTimers().empty());
  for (const int control : {15, 4, 6, 17, 18}) EXPECT_TRUE(hl::control(control).enabled);
  const auto lines = journalLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ERREUR! LA COPIE DE [ ÉTÉ ] A ÉCHOUÉE!");
}

TEST_F(JobTest, ADestinationThatOverlapsTheSourceIsRefusedBeforeAnythingIsWritten) {
  setOptions({"log", "verif"});
  fs::create_directories(root_.path() / "P" / "P");
  writeFile(root_.path() / "P" / "P" / "x.txt", "x");
  struct Case {
    fs::path source;
    std::string destination;
  };
  const Case cases[] = {
      {source_, source_.string() + "/"},           // into itself: Photos/Photos
      {source_, (source_ / "vacances").string()},  // below itself
      {source_, (source_ / "vacances" / "plage" / "..").string() + "/"},
      {source_, source_.string() + "/./"},
      {root_.path() / "P" / "P", root_.path().string() + "/"},  // R/P holds the source R/P/P
  };
  const auto before = snapshot(root_.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.destination);
    hl::reset();
    ASSERT_TRUE(app::startUp());
    hl::typeText(app::kSourceField, c.source.string() + "/");
    hl::typeText(app::kDestinationField, c.destination);
    copyjob::startCopy();
    const auto boxes = hl::boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Thread error!");
    EXPECT_EQ(boxes[0].text,
              "Le dossier de destination ne peut pas se trouver dans le dossier à copier, ni le "
              "contenir.");
    EXPECT_EQ(boxes[0].kind, platform::kBoxWarning);
    EXPECT_TRUE(hl::runningTimers().empty());
    EXPECT_EQ(app::appState().copyThread, 0);
  }
  EXPECT_EQ(snapshot(root_.path()), before);
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
}

TEST_F(JobTest, TypedPathsWithDotsMeanTheFoldersTheyName) {
  setOptions({"verif"});
  startTheProgram();
  typePaths((source_ / "vacances" / "..").string(), (destination_ / ".").string() + "/");
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(waitForThreads());
  EXPECT_EQ(boxesCaptioned("Copie")[0].text, "La copie de Photos est terminée.");
  EXPECT_EQ(boxesCaptioned("Contrôle")[0].kind, platform::kBoxInformation);
  EXPECT_EQ(snapshot(target()), snapshot(source_));
  EXPECT_FALSE(fs::exists(destination_ / "vacances"));
  EXPECT_FALSE(fs::exists(root_.path() / "Photos" / "Photos"));
}

// ---- A whole job ------------------------------------------------------------------

TEST_F(JobTest, AWholeJobWithVerificationCopiesVerifiesAndJournalsBothBlocks) {
  setOptions({"log", "verif"});
  startTheProgram();
  const auto before = snapshot(source_);
  typePaths(source_.string() + "/", destination_.string() + "/");
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_EQ(app::appState().statusText.get(),
            "Copie du dossier en cours...  Patientez durant le processus SVP");
  EXPECT_TRUE(timerRuns(app::kCopyTickTimer));

  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(waitForThreads());
  const auto copyBox = boxesCaptioned("Copie");
  ASSERT_EQ(copyBox.size(), 1u);
  EXPECT_EQ(copyBox[0].text, "La copie de Photos est terminée.");
  EXPECT_EQ(copyBox[0].kind, platform::kBoxInformation);
  // No question: the option asks for the verification at once.
  EXPECT_FALSE(hasBox("Vérification"));
  const auto verdict = boxesCaptioned("Contrôle");
  ASSERT_EQ(verdict.size(), 1u);
  EXPECT_EQ(verdict[0].text, "La copie de [ Photos ] s'est terminée sans erreur.");
  EXPECT_EQ(verdict[0].kind, platform::kBoxInformation);
  // Shown by the window's own thread, never by the verification's.
  EXPECT_TRUE(verdict[0].onUiThread);

  EXPECT_EQ(snapshot(target()), before);
  EXPECT_EQ(snapshot(source_), before);
  EXPECT_EQ(hl::control(app::kSourceField).text, "");
  EXPECT_EQ(hl::control(app::kDestinationField).text, "");
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, "");
  EXPECT_EQ(barValue(app::kActivityBar), 0);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_TRUE(hl::control(app::kStartButton).enabled);
  EXPECT_TRUE(hl::runningTimers().empty());
  EXPECT_EQ(app::appState().statusText.get(), "La copie de [ Photos ] s'est terminée sans erreur.");
  // Both measurements were shown before the fields were cleared.
  const auto sizes = hl::textHistory(app::kDestinationInfoLine);
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), "Taille dossier : 0.070 Mo"), sizes.end());

  const std::string dest = (destination_ / "Photos").string();
  const std::vector<std::string> expected = {
      "---------------------------- [ Photos ]-------------------------------------------",
      std::string("Démarrage de la copie le : ") + kDate,
      "Emplacement original : " + source_.string() + "/",
      "Destination : " + dest,
      "- Identification du support = ",
      "- Type de partition = ",
      "- Capacité totale = ",
      "- Espace disponible = ",
      "---------------------------- [ Photos ]-------------------------------------------",
      "Contrôle du résultat de la copie:",
      "   Taille dossier original : 0.070 Mo",
      "   Taille dossier copié : 0.070 Mo",
      "La copie de [ Photos ] s'est terminée sans erreur.",
      std::string("Fin du processus de copie le : ") + kDate,
      "",
  };
  const auto lines = journalLines();
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(expected.size()), lines.end()),
            expected);
}

TEST_F(JobTest, TheJobGroupIsGreyedAndTheBarsMovedWhileTheCopyRuns) {
  // 6 MiB copied in 1 MiB chunks, 250 ms each: about a second and a half of copying.
  writeFile(source_ / "grand.bin", std::string(6 << 20, 'g'));
  platform::testing::slowCopyChunks(250);
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(hl::waitIdle());
  for (const int control : {15, 4, 6, 17, 18}) EXPECT_FALSE(hl::control(control).enabled);
  for (const int control : {5, 7, 16, 19, 20, 21}) EXPECT_TRUE(hl::control(control).enabled);
  EXPECT_TRUE(timerRuns(app::kCopyTickTimer));
  EXPECT_TRUE(timerRuns(app::kCopyMeasureTimer));
  for (int i = 0; i < 120; ++i) hl::advanceTime(20);
  // 120 ticks: the sweep ran 1..99 once and started again.
  EXPECT_EQ(barValue(app::kActivityBar), 120 - 99);
  // The bar shows the bytes the copy has landed against the source's total,
  // counted as the chunks are written: one chunk of a little over six
  // is at least 16 %.
  ASSERT_TRUE(platform::pumpUntil([] { return copyjob::landedByteCount() >= (1 << 20); },
                                  hl::kHangCeilingMs));
  hl::advanceTime(3000 - 120 * 20);
  const auto measured = barValue(app::kOverallProgressBar);
  EXPECT_GE(measured, 16);
  EXPECT_LE(measured, 100);
  ASSERT_TRUE(runUntilBox("Vérification"));
  EXPECT_EQ(barValue(app::kOverallProgressBar), 0);
  EXPECT_EQ(barValue(app::kActivityBar), 0);
  for (const int control : {15, 4, 6, 17, 18}) EXPECT_TRUE(hl::control(control).enabled);
  EXPECT_EQ(app::appState().statusText.get(), "");
  EXPECT_EQ(readFile(target() / "grand.bin").size(), std::size_t{6} << 20);
}

TEST_F(JobTest, ACopyOverAFullEarlierCopyRunsItsBarFromZeroLikeAFirstCopy) {
  writeFile(source_ / "grand.bin", std::string(3 << 20, 'g'));
  fs::copy(source_, target(), fs::copy_options::recursive);
  platform::testing::slowCopyChunks(400);
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  const int copyThread = startAndHoldTheCopyInItsLargeFile();
  hl::advanceTime(3000);
  ASSERT_TRUE(platform::threadRunning(copyThread));
  // What the earlier copy left counts for nothing: only what this copy wrote.
  EXPECT_GE(barValue(app::kOverallProgressBar), 33);
  EXPECT_LE(barValue(app::kOverallProgressBar), 67);
  platform::resumeThread(copyThread);
  ASSERT_TRUE(runUntilBox("Vérification"));
}

TEST_F(JobTest, AnsweringNoWithBothOpenOptionsShowsTheJournalThenTheCopiedFolder) {
  setOptions({"log", "openlog", "opencopy"});
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerNo);
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Vérification"));
  ASSERT_TRUE(hl::waitIdle());
  // The journal window is open, modal over the main window; the folder waits.
  const auto viewer = hl::window(app::kJournalWindow);
  ASSERT_TRUE(viewer.open);
  EXPECT_EQ(viewer.spec.title, "Ostrevak Tessune LogFile");
  EXPECT_FALSE(hl::window(app::kMainWindow).enabled);
  EXPECT_TRUE(hl::exploredFolders().empty());
  const auto area = hl::control(app::kJournalTextArea);
  ASSERT_GE(area.lines.size(), 10u);
  EXPECT_EQ(area.lines[0].rfind("Journal créé le : ", 0), 0u);
  EXPECT_EQ(area.lines[1], "");
  EXPECT_EQ(area.lines.back(), "- Espace disponible = ");

  hl::closeWindowBox(app::kJournalWindow);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_FALSE(hl::window(app::kJournalWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  ASSERT_EQ(hl::exploredFolders().size(), 1u);
  EXPECT_EQ(hl::exploredFolders()[0], target().string() + "/");
  // Without a verification the job's block ends with its opening lines, and
  // the fields keep their texts.
  EXPECT_EQ(journalLines().back(), "- Espace disponible = ");
  EXPECT_EQ(hl::control(app::kSourceField).text, source_.string() + "/");
}

TEST_F(JobTest, ATypedDestinationWithoutSeparatorIsMeasuredVerifiedAndOpened) {
  setOptions({"log", "verif", "opencopy"});
  startTheProgram();
  typePaths(source_.string(), destination_.string());
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(waitForThreads());
  const auto verdict = boxesCaptioned("Contrôle");
  ASSERT_EQ(verdict.size(), 1u);
  EXPECT_EQ(verdict[0].kind, platform::kBoxInformation);
  ASSERT_EQ(hl::exploredFolders().size(), 1u);
  EXPECT_EQ(hl::exploredFolders()[0], target().string() + "/");
  const auto lines = journalLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Destination : " + target().string()),
            lines.end());
}

TEST_F(JobTest, FieldsEditedDuringTheCopyDoNotChangeWhatTheJobReportsOn) {
  writeFile(source_ / "grand.bin", std::string(3 << 20, 'g'));
  platform::testing::slowCopyChunks(100);
  setOptions({"verif", "opencopy"});
  const fs::path other = root_.path() / "Autre";
  fs::create_directory(other);
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(hl::waitIdle());
  hl::typeText(app::kSourceField, other.string() + "/");
  hl::typeText(app::kDestinationField, other.string() + "/");
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(waitForThreads());
  EXPECT_EQ(boxesCaptioned("Copie")[0].text, "La copie de Photos est terminée.");
  const auto verdict = boxesCaptioned("Contrôle");
  ASSERT_EQ(verdict.size(), 1u);
  EXPECT_EQ(verdict[0].text, "La copie de [ Photos ] s'est terminée sans erreur.");
  ASSERT_EQ(hl::exploredFolders().size(), 1u);
  EXPECT_EQ(hl::exploredFolders()[0], target().string() + "/");
  EXPECT_FALSE(fs::exists(other / "Autre"));
}

TEST_F(JobTest, ACopyWithAFailedFileSaysSoInItsBoxAndJournal) {
  setOptions({"log"});
  fs::create_symlink(root_.path() / "disparu", source_ / "lien");
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  hl::answerNextBox(platform::kAnswerOk);
  hl::answerNextBox(platform::kAnswerYes);
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(waitForThreads());
  const auto copyBox = boxesCaptioned("Copie");
  ASSERT_EQ(copyBox.size(), 1u);
  EXPECT_EQ(copyBox[0].kind, platform::kBoxWarning);
  EXPECT_EQ(copyBox[0].text,
            "La copie de Photos est terminée.\r\r1 élément(s) n'ont pu être copié(s).\r\r" +
                (source_ / "lien").string() + " : lien sans cible");
  const auto lines = journalLines();
  const std::string failure =
      "Echec de la copie : " + (source_ / "lien").string() + " (lien sans cible)";
  const auto at = std::find(lines.begin(), lines.end(), failure);
  ASSERT_NE(at, lines.end());
  // Inside the job's block: after its opening lines, before the verification's.
  EXPECT_EQ(*(at - 1), "- Espace disponible = ");
  EXPECT_EQ(*(at + 2), "Contrôle du résultat de la copie:");
  // The verification counted the dangling link as a file the copy lacks.
  EXPECT_EQ(boxesCaptioned("Contrôle")[0].kind, platform::kBoxWarning);
}

TEST_F(JobTest, ASourceThatCannotBeReadStillEndsTheCopyAndFailsTheVerification) {
  setOptions({"verif"});
  startTheProgram();
  typePaths((root_.path() / "absent").string() + "/", destination_.string() + "/");
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Copie"));
  ASSERT_TRUE(waitForThreads());
  EXPECT_EQ(boxesCaptioned("Copie")[0].kind, platform::kBoxWarning);
  const auto verdict = boxesCaptioned("Contrôle");
  ASSERT_EQ(verdict.size(), 1u);
  EXPECT_EQ(verdict[0].kind, platform::kBoxWarning);
  EXPECT_EQ(verdict[0].text,
            "La copie de [ absent ] semble avoir rencontrée des erreurs. Vérifiez votre copie.");
  EXPECT_EQ(app::appState().statusText.get(),
            "VEUILLEZ VERIFIER VOTRE COPIE DE DOSSIER! DES ERREURS ONT ETE CONSTATEES.");
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
}

TEST_F(JobTest, AVerificationThreadThatCannotStartLeavesTheWindowUsable) {
  ASSERT_TRUE(app::startUp());
  app::appState().jobSource = source_.string() + "/";
  app::appState().copyTarget = target().string() + "/";
  platform::testing::failNextThreadStart();
  copyjob::startVerification();
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_FALSE(timerRuns(app::kVerifyTickTimer));
  const auto boxes = hl::boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Thread error!");
  EXPECT_EQ(boxes[0].text, "Le thread n'a pu se lancer");
  EXPECT_EQ(boxes[0].kind, platform::kBoxError);
}

// ---- A big job's cost ------------------------------------------------------------
// The listings a job opens are counted: the source is walked once before the
// copy, the copy lists each source folder once, and nothing walks the target
// while the bar moves. The window's thread waits on no disk: with every disk
// query held, it stays idle and answers.

class JobCostTest : public JobTest {
 protected:
  void TearDown() override {
    platform::testing::holdDiskQueries(false);
    JobTest::TearDown();
  }

  // The four folders of the test's source: one walk of it opens four listings.
  static constexpr std::int64_t kSourceFolders = 4;

  // Waits (with a ceiling only a hang reaches) until `count` disk queries are
  // held at once.
  static bool waitForHeldQueries(int count) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(hl::kHangCeilingMs);
    while (platform::testing::diskQueriesWaiting() < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
};

TEST_F(JobCostTest, AScannedSourceIsWalkedOnceBeforeTheCopyAndTheTargetNeverDuringIt) {
  writeFile(source_ / "grand.bin", std::string(3 << 20, 'g'));
  setOptions({"space"});
  startTheProgram();
  std::int64_t listings = platform::testing::listingCount();
  hl::answerNextChooser(source_.string() + "/");
  hl::pressControl(app::kSourceChooserButton);
  ASSERT_TRUE(hl::waitSettled());
  // One pass both counts and sizes.
  EXPECT_EQ(platform::testing::listingCount() - listings, kSourceFolders);
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, " 8 Eléments à copier, sous-dossiers inclus");
  const std::int64_t size = 70000 + 4 + 3000 + (3 << 20);
  EXPECT_EQ(app::appState().sourceTotalSize, size);

  // The free-space check takes the scan's total: no walk.
  listings = platform::testing::listingCount();
  hl::answerNextChooser(destination_.string() + "/");
  hl::pressControl(app::kDestinationChooserButton);
  ASSERT_TRUE(hl::waitSettled());
  EXPECT_EQ(platform::testing::listingCount(), listings);
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text,
            "Taille totale du dossier en octets : " + std::to_string(size));

  // The copy lists each source folder once; three ticks of the measuring timer
  // while it is held in the big file walk nothing.
  platform::testing::slowCopyChunks(100);
  const int copyThread = startAndHoldTheCopyInItsLargeFile();
  hl::advanceTime(9000);
  ASSERT_TRUE(platform::threadRunning(copyThread));
  const std::int64_t shown = barValue(app::kOverallProgressBar);
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, 100);
  platform::resumeThread(copyThread);
  ASSERT_TRUE(runUntilBox("Vérification"));
  EXPECT_EQ(platform::testing::listingCount() - listings, kSourceFolders);
  EXPECT_EQ(snapshot(target()), snapshot(source_));
}

TEST_F(JobCostTest, ATypedSourceIsMeasuredOnceByTheCopyThreadThenCopied) {
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  const std::int64_t listings = platform::testing::listingCount();
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Vérification"));
  // One walk to measure it, one pass of the copy.
  EXPECT_EQ(platform::testing::listingCount() - listings, 2 * kSourceFolders);
  EXPECT_EQ(snapshot(target()), snapshot(source_));
}

TEST_F(JobCostTest, ChoosingADestinationLeavesTheWindowAnsweringWhileItsDiskIsSlow) {
  setOptions({"space", "log"});
  startTheProgram();
  hl::typeText(app::kSourceField, source_.string() + "/");
  const auto fieldsBefore = hl::statusBar(app::kStatusBar).fields;
  platform::testing::holdDiskQueries(true);
  hl::answerNextChooser(destination_.string() + "/");
  hl::pressControl(app::kDestinationChooserButton);
  ASSERT_TRUE(waitForHeldQueries(1));
  // The disk has not answered, yet the window's thread waits for events.
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_EQ(hl::control(app::kDestinationField).text, destination_.string() + "/");
  EXPECT_FALSE(hl::window(app::kMainWindow).enabled);
  EXPECT_EQ(hl::statusBar(app::kStatusBar).fields, fieldsBefore);
  EXPECT_TRUE(hl::boxes().empty());
  const int updates = hl::window(app::kMainWindow).updates;
  hl::moveWindow(app::kMainWindow);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_GT(hl::window(app::kMainWindow).updates, updates);  // repainted after the move

  platform::testing::holdDiskQueries(false);
  ASSERT_TRUE(hl::waitSettled());
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  const auto fields = hl::statusBar(app::kStatusBar).fields;
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].text, "Support Id :  /");
  EXPECT_EQ(fields[3].text, "Espace disponible : " + app::appState().volumeFreeText);
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, "Taille totale du dossier en octets : 73004");
  const std::string verdict =
      "L'espace disponible pour recevoir la copie du dossier est suffisant.";
  EXPECT_EQ(app::appState().statusText.get(), verdict);
  const auto lines = journalLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "Taille totale du dossier à copier : 73004 bytes");
  EXPECT_EQ(lines[3], verdict);
}

TEST_F(JobCostTest, TheVerificationWalksTheSourceAndTheCopyAtOnce) {
  fs::copy(source_, target(), fs::copy_options::recursive);
  ASSERT_TRUE(app::startUp());
  app::appState().jobSource = source_.string() + "/";
  app::appState().copyTarget = target().string() + "/";
  platform::testing::holdDiskQueries(true);
  copyjob::startVerification();
  // Both walks wait at their first listing together.
  ASSERT_TRUE(waitForHeldQueries(2));
  platform::testing::holdDiskQueries(false);
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));
  const auto verdict = boxesCaptioned("Contrôle");
  ASSERT_EQ(verdict.size(), 1u);
  EXPECT_EQ(verdict[0].text, "La copie de [ Photos ] s'est terminée sans erreur.");
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, "");
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
}

// ---- Quitting during a job -----------------------------------------------------------

class JobCancelTest : public JobTest {
 protected:
  void startASlowCopy() {
    writeFile(source_ / "grand.bin", std::string(8 << 20, 'g'));
    platform::testing::slowCopyChunks(200);
    startTheProgram();
    typePaths(source_.string() + "/", destination_.string() + "/");
    hl::pressControl(app::kStartButton);
    ASSERT_TRUE(hl::waitIdle());
    ASSERT_TRUE(platform::threadRunning(app::appState().copyThread));
  }
};

TEST_F(JobCancelTest, AnsweringNoOrCancelResumesTheCopyAndItsActivityBar) {
  startASlowCopy();
  for (const int reply : {platform::kAnswerNo, platform::kAnswerCancel}) {
    SCOPED_TRACE(reply);
    hl::answerNextBox(reply);
    hl::pressControl(app::kCancelButton);
    ASSERT_TRUE(hl::waitIdle());
    EXPECT_EQ(boxesCaptioned("Tâche en cours!").back().kind, platform::kBoxYesNoCancel);
    EXPECT_EQ(app::appState().cancelAnswer, reply);
    EXPECT_TRUE(timerRuns(app::kCopyTickTimer));
    const auto before = barValue(app::kActivityBar);
    hl::advanceTime(100);
    EXPECT_EQ(barValue(app::kActivityBar), (before + 5) % 99);
  }
  EXPECT_EQ(boxesCaptioned("Tâche en cours!").size(), 2u);
  ASSERT_TRUE(runUntilBox("Copie"));
  EXPECT_EQ(readFile(target() / "grand.bin").size(), std::size_t{8} << 20);
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
}

TEST_F(JobCancelTest, AnsweringYesJournalsTheCancellationEvenWithTheJournalOffAndQuits) {
  startASlowCopy();
  hl::answerNextBox(platform::kAnswerYes);
  hl::pressControl(app::kCancelButton);
  ASSERT_TRUE(hl::waitProgramEnd());
  EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_EQ(journalLines(),
            std::vector<std::string>{"ANNULATION DE LA COPIE EN COURS PAR L'UTILISATEUR"});
  EXPECT_FALSE(hasBox("Copie"));
  // The stopped copy left no half-written file under the real name.
  EXPECT_FALSE(fs::exists(target() / "grand.bin"));
}

TEST_F(JobCancelTest, TheCloseBoxQuitsAtOnceWithoutAQuestionOrAJournalLine) {
  startASlowCopy();
  hl::closeWindowBox(app::kMainWindow);
  ASSERT_TRUE(hl::waitProgramEnd());
  EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_TRUE(hl::boxes().empty());
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
  EXPECT_FALSE(fs::exists(target() / "grand.bin"));
}

TEST_F(JobCancelTest, QuittingWhileTheVerificationShowsTheJournalEndsCleanly) {
  setOptions({"log", "verif", "openlog"});
  startTheProgram();
  typePaths(source_.string() + "/", destination_.string() + "/");
  hl::pressControl(app::kStartButton);
  ASSERT_TRUE(runUntilBox("Contrôle"));
  ASSERT_TRUE(
      platform::pumpUntil([] { return hl::window(app::kJournalWindow).open; }, hl::kHangCeilingMs));
  // The main window is disabled; the system can still ask it to close.
  ASSERT_FALSE(hl::window(app::kMainWindow).enabled);
  platform::postClose(app::kMainWindow);
  ASSERT_TRUE(hl::waitProgramEnd());
  EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_FALSE(hl::window(app::kJournalWindow).open);
}

// ---- The verdict ---------------------------------------------------------------------

class VerificationTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    ASSERT_TRUE(app::startUp());
    fs::copy(source_, target(), fs::copy_options::recursive);
  }

  hl::BoxRecord verdict() {
    copyjob::verifyThreadMain(source_.string() + "/", target().string() + "/");
    const auto boxes = boxesCaptioned("Contrôle");
    return boxes.empty() ? hl::BoxRecord{} : boxes.back();
  }
};

TEST_F(VerificationTest, AFaithfulCopyPasses) {
  EXPECT_EQ(verdict().kind, platform::kBoxInformation);
}

TEST_F(VerificationTest, DifferencesTheRoundedFiguresHideStillFail) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> damage;
  };
  const Case cases[] = {
      {"100 bytes short",
       [](const fs::path& t) { writeFile(t / "a.jpg", std::string(69900, 'a')); }},
      {"a missing empty file", [](const fs::path& t) { fs::remove(t / "vide.txt"); }},
      {"a missing empty folder", [](const fs::path& t) { fs::remove(t / "vide"); }},
      {"an extra empty folder", [](const fs::path& t) { fs::create_directory(t / "en trop"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(target());
    fs::copy(source_, target(), fs::copy_options::recursive);
    c.damage(target());
    const auto box = verdict();
    EXPECT_EQ(box.kind, platform::kBoxWarning);
    EXPECT_EQ(box.text,
              "La copie de [ Photos ] semble avoir rencontrée des erreurs. Vérifiez votre copie.");
    // The figures the user reads stay the rounded ones, equal here.
    EXPECT_EQ(hl::textHistory(app::kSourceInfoLine).back(), "");
  }
  const auto sizes = hl::textHistory(app::kDestinationInfoLine);
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), "Taille dossier : 0.070 Mo"), sizes.end());
}

TEST_F(VerificationTest, EmptySourceAndCopyPass) {
  fs::remove_all(source_);
  fs::remove_all(target());
  fs::create_directory(source_);
  fs::create_directory(target());
  EXPECT_EQ(verdict().kind, platform::kBoxInformation);
  const auto sizes = hl::textHistory(app::kSourceInfoLine);
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), "Taille dossier : 0.000 Mo"), sizes.end());
}

TEST_F(VerificationTest, MegabyteTextsHaveThreeDecimals) {
  EXPECT_EQ(copyjob::megabyteText(0), "0.000");
  EXPECT_EQ(copyjob::megabyteText(1536 * 1024), "1.500");
  EXPECT_EQ(copyjob::megabyteText(1048576), "1.000");
  EXPECT_EQ(copyjob::megabyteText(std::int64_t{5} << 40), "5242880.000");
}

// ---- The journal window -----------------------------------------------------------------

class JournalViewerTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(app::startUp());
  }
};

TEST_F(JournalViewerTest, OpensWithItsWindowAndFontAndGivesTheMainWindowBack) {
  journal::ensureJournal();
  app::openJournalCommand();  // straight from the test: the window's loop ends at once
  const auto window = hl::window(app::kJournalWindow);
  EXPECT_EQ(window.spec.title, "Ostrevak Tessune LogFile");
  EXPECT_EQ(window.spec.clientWidth, 700);
  EXPECT_EQ(window.spec.clientHeight, 400);
  EXPECT_TRUE(window.spec.sizable);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  const auto font = hl::font(app::kJournalFont);
  ASSERT_TRUE(font.has_value());
  EXPECT_EQ(font->face, "Courier new");
  EXPECT_EQ(font->points, 9);
  EXPECT_TRUE(font->proofQuality);
}

class JournalViewerRunTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    // The journal is written before the program starts and sets this itself.
    journal::setJournalFile((profile() / "ravelundlog.ini").string(),
                            std::string(journal::kJournalKey));
  }
};

TEST_F(JournalViewerRunTest, TheReportsMenuOpensTheWindowModalOverTheMainWindow) {
  journal::ensureJournal();
  journal::appendJournalLine("première ligne");
  {
    std::string bytes = readFile(profile() / "ravelundlog.ini");
    writeFile(profile() / "ravelundlog.ini", bytes + "ZZ9\r\n");
  }
  journal::appendJournalLine("dernière ligne");
  startTheProgram();
  hl::chooseMenuItem(app::kMainWindow, app::kOpenJournalItem);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_FALSE(hl::window(app::kMainWindow).enabled);
  const auto area = hl::control(app::kJournalTextArea);
  EXPECT_EQ(area.kind, platform::ControlKind::richText);
  EXPECT_EQ(area.width, 700);
  EXPECT_EQ(area.height, 400);
  EXPECT_EQ(area.backColour, (platform::Rgb{23, 33, 41}));
  EXPECT_EQ(area.textColour, (platform::Rgb{189, 193, 200}));
  EXPECT_EQ(area.font, app::kJournalFont);
  EXPECT_EQ(area.textLimit, std::int64_t{1} << 30);
  ASSERT_EQ(area.lines.size(), 5u);
  EXPECT_EQ(area.lines[0].rfind("Journal créé le : ", 0), 0u);
  EXPECT_EQ(area.lines[1], "");
  EXPECT_EQ(area.lines[2], "première ligne");
  // Line 3 is meaningless text, and the next line still shows.
  EXPECT_EQ(area.lines[4], "dernière ligne");
  // Commands of the main window cannot be used meanwhile.
  hl::pressControl(app::kHelpButton);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_TRUE(hl::boxes().empty());
  hl::closeWindowBox(app::kJournalWindow);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_FALSE(hl::window(app::kJournalWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
}

TEST_F(JournalViewerRunTest, AJournalOfOnlyTheHeaderShowsOneLineAndAnEmptyOne) {
  journal::ensureJournal();
  startTheProgram();
  hl::chooseMenuItem(app::kMainWindow, app::kOpenJournalItem);
  ASSERT_TRUE(hl::waitIdle());
  const auto area = hl::control(app::kJournalTextArea);
  ASSERT_EQ(area.lines.size(), 2u);
  EXPECT_EQ(area.lines[0], std::string("Journal créé le : 05 - 03 - 2026 à 14:07:09"));
  EXPECT_EQ(area.lines[1], "");
  hl::closeWindowBox(app::kJournalWindow);
  ASSERT_TRUE(hl::waitIdle());
}

// Past the text area's usual limit; bench/journal.sh times a 10 MB journal.
TEST_F(JournalViewerRunTest, AJournalOfMegabytesShowsEveryLine) {
  journal::ensureJournal();
  const std::string line = std::string(90, 'x') + " — ligne de journal";
  const std::string record = journal::encipherLine(text::toWindows1252(line), journal::kJournalKey);
  std::string bytes = readFile(profile() / "ravelundlog.ini");
  std::size_t records = 0;
  while (bytes.size() < (std::size_t{3} << 20)) {
    bytes += record + "\r\n";
    ++records;
  }
  writeFile(profile() / "ravelundlog.ini", bytes);
  startTheProgram();
  hl::chooseMenuItem(app::kMainWindow, app::kOpenJournalItem);
  ASSERT_TRUE(hl::waitIdle());
  const auto area = hl::control(app::kJournalTextArea);
  ASSERT_EQ(area.lines.size(), records + 2);
  EXPECT_EQ(area.lines.back(), line);
  hl::closeWindowBox(app::kJournalWindow);
  ASSERT_TRUE(hl::waitIdle());
}

}  // namespace
