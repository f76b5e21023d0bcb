// The scan started by choosing a source, and the free-space check run after
// choosing a destination: what the user sees and what the journal records.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>

#include "app/commands.h"
#include "app/program.h"
#include "app/state.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "test_support.h"
#include "volume/volume.h"

namespace {

namespace fs = std::filesystem;
namespace hl = platform::headless;
using testsupport::writeFile;

class ScanTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(app::startUp());
  }

  // 3 files and 2 sub-folders, one of which holds 4 files: 9 elements.
  void makeNineElementTree(const fs::path& root) {
    writeFile(root / "a.txt", "aaaa");
    writeFile(root / "b.txt", "bb");
    writeFile(root / "c.txt", "c");
    fs::create_directory(root / "vide");
    fs::create_directory(root / "plein");
    for (int i = 0; i < 4; ++i) writeFile(root / "plein" / ("f" + std::to_string(i)), "0123456789");
  }

  void chooseSourceAndWait(const std::string& folder) {
    hl::answerNextChooser(folder);
    app::chooseSource();
    ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  }
};

TEST_F(ScanTest, CountsElementsLiveAndEndsWithTheTotal) {
  testsupport::TempFolder source;
  makeNineElementTree(source.path());
  chooseSourceAndWait(source.withSeparator());
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, " 9 Eléments à copier, sous-dossiers inclus");
  const auto history = hl::textHistory(app::kSourceInfoLine);
  ASSERT_GE(history.size(), 2u);
  // The live values count up, and the last live one is the final count.
  EXPECT_EQ(history[history.size() - 2], " 9");
  int previous = 0;
  for (std::size_t i = 0; i + 1 < history.size(); ++i) {
    int value = 0;
    std::from_chars(history[i].data() + 1, history[i].data() + history[i].size(), value);
    EXPECT_GT(value, previous) << history[i];
    previous = value;
  }
  EXPECT_EQ(app::appState().sourceTotalSize, 4 + 2 + 1 + 40);
  EXPECT_EQ(app::appState().scannedFiles, 7);
  EXPECT_EQ(app::appState().scannedFolders, 2);
}

TEST_F(ScanTest, ShowsItsStatusWhileCountingAndClearsItAfter) {
  testsupport::TempFolder source;
  makeNineElementTree(source.path());
  hl::clearDraws();
  chooseSourceAndWait(source.withSeparator());
  std::vector<std::string> statusTexts;
  for (const auto& draw : hl::draws()) {
    if (draw.kind == hl::DrawRecord::kText && draw.y == 280) statusTexts.push_back(draw.text);
  }
  EXPECT_EQ(statusTexts,
            (std::vector<std::string>{"Calcul du nombre d'éléments du dossier sélectionné", ""}));
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
}

TEST_F(ScanTest, JournalsTheCountWhenTheJournalIsOn) {
  setOptions({"log"});
  testsupport::TempFolder parent;
  const fs::path source = parent.path() / "Photos";
  fs::create_directory(source);
  makeNineElementTree(source);
  chooseSourceAndWait(source.string() + "/");
  const auto lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "---------------------------- [ Photos ]-------------------------------------------");
  EXPECT_EQ(lines[1], " Il y a 9 Eléments dans le dossier à copier (sous-dossiers inclus)");
}

TEST_F(ScanTest, WritesNoJournalWhenTheJournalIsOff) {
  setOptions({"space", "verif"});
  testsupport::TempFolder source;
  makeNineElementTree(source.path());
  chooseSourceAndWait(source.withSeparator());
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
}

TEST_F(ScanTest, EmptySourceAndOnlyEmptyFolders) {
  testsupport::TempFolder empty;
  chooseSourceAndWait(empty.withSeparator());
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, " 0 Eléments à copier, sous-dossiers inclus");
  EXPECT_EQ(app::appState().sourceTotalSize, 0);

  fs::create_directories(empty.path() / "a" / "b");
  fs::create_directory(empty.path() / "c");
  chooseSourceAndWait(empty.withSeparator());
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, " 3 Eléments à copier, sous-dossiers inclus");
  EXPECT_EQ(app::appState().sourceTotalSize, 0);
}

TEST_F(ScanTest, FilesPastFourGigabytesAreMeasuredInFull) {
  testsupport::TempFolder source;
  const std::uintmax_t big = 5ull * 1024 * 1024 * 1024 + 3;
  { std::ofstream(source.path() / "grand.bin"); }
  fs::resize_file(source.path() / "grand.bin", big);  // sparse: no disk space used
  chooseSourceAndWait(source.withSeparator());
  EXPECT_EQ(app::appState().sourceTotalSize, static_cast<std::int64_t>(big));
}

TEST_F(ScanTest, AScanThreadThatCannotStartLeavesTheLineAndStatus) {
  testsupport::TempFolder source;
  makeNineElementTree(source.path());
  platform::testing::failNextThreadStart();
  chooseSourceAndWait(source.withSeparator());
  EXPECT_EQ(app::appState().scanThread, 0);
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, "");
  EXPECT_EQ(app::appState().statusText.get(), "Calcul du nombre d'éléments du dossier sélectionné");
  EXPECT_EQ(app::appState().sourceTotalSize, 47);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
}

// A tree wide enough that its walks take a while: 300 folders of 2 files.
void makeWideTree(const fs::path& root) {
  for (int i = 0; i < 300; ++i) {
    const fs::path folder = root / ("dossier" + std::to_string(i));
    fs::create_directory(folder);
    for (int j = 0; j < 2; ++j) writeFile(folder / ("f" + std::to_string(j)), "12345");
  }
}

TEST_F(ScanTest, BothWalksRunOffTheWindowThreadAndTheSizeIsSetWhenBothAreDone) {
  testsupport::TempFolder source;
  makeWideTree(source.path());
  hl::answerNextChooser(source.withSeparator());
  app::chooseSource();
  // Back on the window thread at once: nothing measured here, the scan still
  // walking (held at its next folder so the checks below cannot race it).
  const int scan = app::appState().scanThread;
  platform::pauseThread(scan);
  EXPECT_TRUE(platform::threadRunning(scan));
  EXPECT_EQ(app::appState().sourceTotalSize, 100);
  platform::resumeThread(scan);
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_EQ(app::appState().sourceTotalSize, 300 * 2 * 5);
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, " 900 Eléments à copier, sous-dossiers inclus");
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
}

TEST_F(ScanTest, QuittingStopsAndAwaitsARunningScanWhichJournalsNothing) {
  setOptions({"log"});
  testsupport::TempFolder source;
  makeWideTree(source.path());
  hl::answerNextChooser(source.withSeparator());
  app::chooseSource();
  const int scan = app::appState().scanThread;
  platform::pauseThread(scan);  // as good as a scan of a tree that takes minutes
  copyjob::stopJobThreads();
  EXPECT_FALSE(platform::threadRunning(scan));
  EXPECT_EQ(app::appState().sourceTotalSize, 100);
  EXPECT_TRUE(journal::readJournalLines().empty());
}

TEST_F(ScanTest, ANewSourceStopsTheEarlierScanAndTheJournalCarriesItsOwnCount) {
  setOptions({"log"});
  testsupport::TempFolder first;
  makeWideTree(first.path());
  hl::answerNextChooser(first.withSeparator());
  app::chooseSource();
  platform::pauseThread(app::appState().scanThread);
  testsupport::TempFolder parent;
  const fs::path second = parent.path() / "Photos";
  fs::create_directory(second);
  makeNineElementTree(second);
  chooseSourceAndWait(second.string() + "/");
  EXPECT_EQ(app::appState().scannedFiles, 7);
  EXPECT_EQ(app::appState().scannedFolders, 2);
  EXPECT_EQ(app::appState().sourceTotalSize, 47);
  const auto lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], " Il y a 9 Eléments dans le dossier à copier (sous-dossiers inclus)");
}

class FreeSpaceTest : public ScanTest {};

TEST_F(FreeSpaceTest, ASourceThatFitsPassesAndIsJournalled) {
  setOptions({"space", "log"});
  testsupport::TempFolder parent;
  const fs::path source = parent.path() / "Dossier";
  fs::create_directory(source);
  writeFile(source / "x", std::string(1500, 'x'));
  testsupport::TempFolder destination;
  hl::typeText(app::kSourceField, source.string() + "/");
  hl::answerNextChooser(destination.withSeparator());
  app::chooseDestination();
  // The volume and the free-space check are asked off the window's thread.
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));

  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, "Taille totale du dossier en octets : 1500");
  const std::string freeLine = hl::control(app::kDestinationInfoLine).text;
  const std::string prefix = "Espace disponible en octets : ";
  ASSERT_EQ(freeLine.rfind(prefix, 0), 0u);
  const std::string freeText = freeLine.substr(prefix.size());
  EXPECT_FALSE(freeText.empty());
  EXPECT_EQ(freeText.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_TRUE(hl::boxes().empty());
  const std::string verdict =
      "L'espace disponible pour recevoir la copie du dossier est suffisant.";
  EXPECT_EQ(app::appState().statusText.get(), verdict);

  const auto lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "---------------------------- [ Dossier ]-------------------------------------------");
  EXPECT_EQ(lines[1], "Taille totale du dossier à copier : 1500 bytes");
  EXPECT_EQ(lines[2].rfind("Espace disponible pour recevoir la copie  : ", 0), 0u);
  EXPECT_EQ(lines[2].substr(lines[2].size() - 6), " bytes");
  EXPECT_EQ(lines[3], verdict);
}

TEST_F(FreeSpaceTest, ASourceLargerThanTheFreeSpaceIsWarnedAbout) {
  setOptions({"space"});
  testsupport::TempFolder source;
  testsupport::TempFolder destination;
  std::uint64_t freeBytes = 0;
  const std::string freeText = volume::freeSpaceBytes(destination.withSeparator());
  std::from_chars(freeText.data(), freeText.data() + freeText.size(), freeBytes);
  ASSERT_GT(freeBytes, 0u);
  { std::ofstream(source.path() / "trop.bin"); }
  // Sparse, so it takes no space itself; well above whatever else changes meanwhile.
  fs::resize_file(source.path() / "trop.bin", freeBytes + (1ull << 32));
  hl::typeText(app::kSourceField, source.withSeparator());
  hl::answerNextChooser(destination.withSeparator());
  app::chooseDestination();
  // The volume and the free-space check are asked off the window's thread.
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));

  const auto boxes = hl::boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Espace disponible");
  EXPECT_EQ(boxes[0].kind, 48);
  EXPECT_EQ(boxes[0].text,
            "Le support de destination pour votre copie ne dispose pas de suffisamment d'espace "
            "disque. La totalité de votre dossier ne pourra être copié.");
  EXPECT_EQ(app::appState().statusText.get(),
            "Attention! l'espace disponible est insuffisant! la copie sera incomplète.");
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text,
            "Taille totale du dossier en octets : " + std::to_string(freeBytes + (1ull << 32)));
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
  // The check only advises: the start button stays usable.
  EXPECT_TRUE(hl::control(app::kStartButton).enabled);
}

TEST_F(FreeSpaceTest, TheCheckRunsOnlyWhenTheOptionIsOn) {
  setOptions({"log"});
  testsupport::TempFolder destination;
  hl::answerNextChooser(destination.withSeparator());
  app::chooseDestination();
  // The volume and the free-space check are asked off the window's thread.
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));
  EXPECT_EQ(hl::control(app::kSourceInfoLine).text, "");
  EXPECT_EQ(hl::control(app::kDestinationInfoLine).text, "");
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
}

}  // namespace
