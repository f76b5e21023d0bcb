// Start-up, the main window and its commands, seen through the headless
// windowing layer.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/commands.h"
#include "app/program.h"
#include "app/state.h"
#include "app/status.h"
#include "journal/journal.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "test_support.h"

namespace {

namespace hl = platform::headless;
using platform::ControlKind;
using platform::Rgb;

class MainWindowTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_TRUE(app::startUp());
  }
};

struct ExpectedControl {
  int number;
  ControlKind kind;
  int parent;
  int x, y, width, height;
};

TEST_F(MainWindowTest, WindowHasItsTitleFixedFrameAndClientSize) {
  const auto window = hl::window(app::kMainWindow);
  EXPECT_TRUE(window.open);
  EXPECT_EQ(window.spec.title, "Ostrevak Tessune 1.0.09.10");
  EXPECT_EQ(window.spec.clientWidth, 600);
  EXPECT_EQ(window.spec.clientHeight, 410);
  EXPECT_FALSE(window.spec.sizable);
  EXPECT_FALSE(window.spec.minimiseBox);
  EXPECT_FALSE(window.spec.maximiseBox);
}

TEST_F(MainWindowTest, ControlsAreCreatedInOrderAtTheirPlaces) {
  const ExpectedControl expected[] = {
      {1, ControlKind::picture, 0, 0, 0, 600, 342},
      {5, ControlKind::edit, 0, 10, 35, 550, 20},
      {4, ControlKind::imageButton, 0, 560, 30, 30, 25},
      {8, ControlKind::label, 0, 10, 60, 580, 15},
      {7, ControlKind::edit, 0, 10, 125, 550, 20},
      {6, ControlKind::imageButton, 0, 560, 120, 30, 25},
      {9, ControlKind::label, 0, 10, 150, 580, 15},
      {11, ControlKind::progress, 0, 2, 325, 596, 10},
      {14, ControlKind::container, 0, 0, 340, 600, 50},
      {15, ControlKind::pushButton, 14, 0, 0, 90, 30},
      {16, ControlKind::pushButton, 14, 90, 0, 90, 30},
      {17, ControlKind::pushButton, 14, 180, 0, 100, 30},
      {18, ControlKind::pushButton, 14, 280, 0, 85, 30},
      {19, ControlKind::pushButton, 14, 365, 0, 65, 30},
      {20, ControlKind::pushButton, 14, 430, 0, 80, 30},
      {21, ControlKind::pushButton, 14, 510, 0, 90, 30},
      {13, ControlKind::progress, 14, 0, 30, 600, 17},
  };
  std::vector<int> order;
  for (const auto& e : expected) order.push_back(e.number);
  EXPECT_EQ(hl::controlsInCreationOrder(), order);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.number);
    const auto c = hl::control(e.number);
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_EQ(c.parent, e.parent);
    EXPECT_EQ(c.x, e.x);
    EXPECT_EQ(c.y, e.y);
    EXPECT_EQ(c.width, e.width);
    EXPECT_EQ(c.height, e.height);
  }
  // The command buttons fill the bar's width without gaps.
  int right = 0;
  for (int number = 15; number <= 21; ++number) {
    EXPECT_EQ(hl::control(number).x, right);
    right += hl::control(number).width;
  }
  EXPECT_EQ(right, 600);
}

TEST_F(MainWindowTest, ControlsShowTheirTextsColoursAndPictures) {
  const struct {
    int number;
    const char* caption;
    int icon;
  } buttons[] = {{15, "Démarrer", app::kStartIcon},      {16, "Annuler", app::kCancelIcon},
                 {17, "Paramètres", app::kSettingsIcon}, {18, "Journal", app::kJournalIcon},
                 {19, "Aide", app::kHelpIcon},           {20, "Explorer", app::kFolderIcon},
                 {21, "Ostrevak", app::kWebIcon}};
  for (const auto& b : buttons) {
    EXPECT_EQ(hl::control(b.number).text, b.caption);
    EXPECT_EQ(hl::control(b.number).image, b.icon);
  }
  const Rgb fieldText{227, 225, 225};
  const Rgb fieldBack{93, 153, 223};
  for (int field : {5, 7}) {
    EXPECT_EQ(hl::control(field).textColour, fieldText);
    EXPECT_EQ(hl::control(field).backColour, fieldBack);
    EXPECT_EQ(hl::control(field).text, "");
  }
  EXPECT_EQ(hl::control(8).backColour, (Rgb{74, 145, 214}));
  EXPECT_EQ(hl::control(9).backColour, fieldBack);
  EXPECT_EQ(hl::control(14).backColour, (Rgb{220, 229, 235}));
  EXPECT_EQ(hl::control(4).tooltip, "Dossier à copier");
  EXPECT_EQ(hl::control(6).tooltip, "Destination de la copie");
  EXPECT_EQ(hl::control(4).image, app::kFolderIcon);
  EXPECT_EQ(hl::control(6).image, app::kFolderIcon);
  EXPECT_EQ(hl::control(1).image, app::kBackgroundImage);
}

TEST_F(MainWindowTest, BackgroundPictureTakesNoClicks) {
  EXPECT_FALSE(hl::control(1).enabled);
  for (int number : {4, 5, 6, 7, 15, 16, 17, 18, 19, 20, 21})
    EXPECT_TRUE(hl::control(number).enabled);
}

TEST_F(MainWindowTest, ProgressBarsStartEmptyWithRangeHundred) {
  EXPECT_EQ(hl::control(13).progressMaximum, 100);
  EXPECT_EQ(hl::control(13).progressValue, 0);
  EXPECT_EQ(hl::control(11).progressMaximum, 100);
  EXPECT_EQ(hl::control(11).progressValue, 0);
}

TEST_F(MainWindowTest, StatusBarHasFourFieldsWithStartingTexts) {
  const auto bar = hl::statusBar(app::kStatusBar);
  EXPECT_EQ(bar.window, app::kMainWindow);
  EXPECT_EQ(bar.rightEdges, (std::vector<int>{110, 273, 436, 599}));
  EXPECT_EQ(bar.minimumHeight, 18);
  ASSERT_EQ(bar.fields.size(), 4u);
  EXPECT_EQ(bar.fields[0].text, "Support Id : ");
  EXPECT_EQ(bar.fields[1].text, "Partition : ");
  EXPECT_EQ(bar.fields[2].text, "Capacité Totale : ");
  EXPECT_EQ(bar.fields[3].text, "Espace disponible : ");
  EXPECT_EQ(bar.fields[0].style, platform::FieldStyle::sunken);
  EXPECT_EQ(bar.fields[1].style, platform::FieldStyle::raised);
  EXPECT_EQ(bar.fields[2].style, platform::FieldStyle::sunken);
  EXPECT_EQ(bar.fields[3].style, platform::FieldStyle::raised);
}

TEST_F(MainWindowTest, ReportsMenuHasOpenSeparatorDelete) {
  const auto entries = hl::menuEntries(app::kReportsMenu);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].item, 24);
  EXPECT_EQ(entries[0].text, "Ouvrir");
  EXPECT_EQ(entries[1].item, 0);
  EXPECT_EQ(entries[2].item, 25);
  EXPECT_EQ(entries[2].text, "Supprimer");
}

TEST_F(MainWindowTest, FontsAndStateDefaultsAreSetAtStartUp) {
  const auto status = hl::font(app::kStatusFont);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->face, "Arial");
  EXPECT_EQ(status->points, 10);
  EXPECT_EQ(status->weight, 700);
  EXPECT_TRUE(status->italic);
  const auto label = hl::font(app::kLabelFont);
  ASSERT_TRUE(label);
  EXPECT_EQ(label->face, "Arial");
  EXPECT_EQ(label->points, 8);
  EXPECT_EQ(label->weight, 400);
  EXPECT_TRUE(label->italic);

  const app::AppState& state = app::appState();
  EXPECT_EQ(state.sourceTotalSize, 100);
  EXPECT_EQ(journal::journalKey(), "5d2c7be0a19f43e68b0c4da7f2e95136");
  EXPECT_EQ(journal::journalPath(), (profile() / "ravelundlog.ini").string());
  EXPECT_EQ(state.options.verif + state.options.space + state.options.log + state.options.opencopy +
                state.options.openlog,
            0);
  // The settings file is not read (nor created) at start-up.
  EXPECT_FALSE(std::filesystem::exists(profile() / "ravelund.ini"));
}

TEST_F(MainWindowTest, EveryEmbeddedPictureIsDecoded) {
  const auto background = hl::image(app::kBackgroundImage);
  ASSERT_TRUE(background);
  EXPECT_EQ(background->width, 600);
  EXPECT_EQ(background->height, 342);
  for (int icon = app::kStartIcon; icon <= app::kSaveTipIcon; ++icon) {
    SCOPED_TRACE(icon);
    const auto picture = hl::image(icon);
    ASSERT_TRUE(picture);
    const bool button = icon == app::kSaveButtonImage || icon == app::kCloseButtonImage;
    EXPECT_EQ(picture->width, button ? 100 : 16);
    EXPECT_EQ(picture->height, button ? 20 : 16);
  }
}

TEST_F(MainWindowTest, StatusStripIsThePieceOfTheBackgroundUnderTheStatusLine) {
  const auto background = hl::image(app::kBackgroundImage);
  const auto strip = hl::image(app::kStatusStripImage);
  ASSERT_TRUE(background && strip);
  ASSERT_EQ(strip->width, 480);
  ASSERT_EQ(strip->height, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 480; x += 7) {
      ASSERT_EQ(strip->pixels[static_cast<std::size_t>(y * 480 + x)],
                background->pixels[static_cast<std::size_t>((280 + y) * 600 + 10 + x)]);
    }
  }
}

TEST_F(MainWindowTest, APieceReachingOutsideThePictureIsNotCut) {
  EXPECT_FALSE(platform::copyImageRect(app::kBackgroundImage, 99, 200, 330, 480, 20));
  EXPECT_FALSE(platform::copyImageRect(app::kBackgroundImage, 99, -1, 0, 10, 10));
  EXPECT_FALSE(platform::imageExists(99));
  EXPECT_TRUE(platform::copyImageRect(app::kBackgroundImage, 99, 120, 322, 480, 20));
}

TEST_F(MainWindowTest, StartUpPaintsStatusBandThenBothLabels) {
  const auto draws = hl::draws();
  ASSERT_EQ(draws.size(), 4u);
  EXPECT_EQ(draws[0].kind, hl::DrawRecord::kImage);
  EXPECT_EQ(draws[0].image, app::kStatusStripImage);
  EXPECT_EQ(std::tie(draws[0].x, draws[0].y, draws[0].width, draws[0].height),
            std::make_tuple(10, 280, 480, 20));
  EXPECT_EQ(draws[1].kind, hl::DrawRecord::kText);
  EXPECT_EQ(draws[1].text, "");
  EXPECT_EQ(draws[1].colour, (Rgb{32, 32, 160}));
  EXPECT_EQ(draws[1].font, app::kStatusFont);
  EXPECT_EQ(draws[2].text, "Sélectionnez le répertoire à copier");
  EXPECT_EQ(std::tie(draws[2].x, draws[2].y), std::make_tuple(10, 10));
  EXPECT_EQ(draws[3].text, "Sélectionnez l'emplacement où sera copié le dossier");
  EXPECT_EQ(std::tie(draws[3].x, draws[3].y), std::make_tuple(10, 100));
  for (int i : {2, 3}) {
    EXPECT_EQ(draws[static_cast<std::size_t>(i)].font, app::kLabelFont);
    EXPECT_EQ(draws[static_cast<std::size_t>(i)].colour, (Rgb{79, 81, 82}));
  }
  // The window painted its controls before the texts went on top.
  EXPECT_GE(hl::window(app::kMainWindow).updates, 1);
}

TEST_F(MainWindowTest, MovingTheWindowRepaintsLabelsAndCurrentStatus) {
  app::setStatusText("Copie du dossier en cours...  Patientez durant le processus SVP");
  hl::clearDraws();
  const int updatesBefore = hl::window(app::kMainWindow).updates;
  app::dispatchEvent({platform::kEventMoved, app::kMainWindow, 0});
  const auto draws = hl::draws();
  ASSERT_EQ(draws.size(), 4u);
  EXPECT_EQ(draws[0].text, "Sélectionnez le répertoire à copier");
  EXPECT_EQ(draws[1].text, "Sélectionnez l'emplacement où sera copié le dossier");
  EXPECT_EQ(draws[2].image, app::kStatusStripImage);
  EXPECT_EQ(draws[3].text, "Copie du dossier en cours...  Patientez durant le processus SVP");
  EXPECT_EQ(hl::window(app::kMainWindow).updates, updatesBefore + 1);
}

TEST_F(MainWindowTest, AnEmptyStatusTextOnlyRestoresTheBand) {
  app::setStatusText("quelque chose");
  hl::clearDraws();
  app::setStatusText("");
  const auto draws = hl::draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].image, app::kStatusStripImage);
  EXPECT_EQ(draws[1].text, "");
}

TEST_F(MainWindowTest, StatusPaintsFromManyThreadsNeverInterleave) {
  hl::clearDraws();
  std::vector<std::thread> writers;
  for (int t = 0; t < 8; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 50; ++i) app::setStatusText("fil " + std::to_string(t));
    });
  }
  for (auto& writer : writers) writer.join();
  const auto draws = hl::draws();
  ASSERT_EQ(draws.size(), 800u);
  for (std::size_t i = 0; i < draws.size(); i += 2) {
    ASSERT_EQ(draws[i].kind, hl::DrawRecord::kImage) << i;
    ASSERT_EQ(draws[i + 1].kind, hl::DrawRecord::kText) << i;
  }
  EXPECT_EQ(app::appState().statusText.get().rfind("fil ", 0), 0u);
}

TEST_F(MainWindowTest, HelpShowsTheQuickHelpWordForWord) {
  app::dispatchEvent({platform::kEventControl, app::kMainWindow, app::kHelpButton});
  const auto boxes = hl::boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Ravelund, comment ça marche");
  EXPECT_EQ(boxes[0].kind, 64);
  EXPECT_EQ(boxes[0].text,
            "Fonctionnement général de Ostrevak Tessune\r\r"
            "1 - Cliquez du 'Paramètres' et sélectionnez vos options \r"
            "2 - Choisissez le dossier à copier en cliquant sur 'Select 1'\r"
            "3 - Choisissez le répertoire ou lecteur de destination en cliquant sur 'Select 2'. "
            "Lorsque vous avez fais votre choix, les informations sur le support s'affichent en "
            "bas dans la barre de statut.\r"
            "4 -  Cliquez sur 'Démarrer' pour lancer la copie\r\r"
            "Selon les options choisies, le temps du processus complet sera plus ou moins long. "
            "Attendez qu'il se termine puis recommencez avec un autre dossier si nécessaire.\r\r"
            "Rendez-vous sur la page dédiée à Ostrevak Tessune pour suivre son évolution et "
            "obtenir des mises à jours. Cordialement, Meldrin");
  EXPECT_EQ(boxes[0].text.find('\n'), std::string::npos);
}

TEST_F(MainWindowTest, WebButtonOpensTheProductPage) {
  app::dispatchEvent({platform::kEventControl, app::kMainWindow, app::kWebButton});
  EXPECT_EQ(hl::openedAddresses(), std::vector<std::string>{app::kWebPageAddress});
}

TEST_F(MainWindowTest, ExplorerAndDestinationShareTheirStartFolder) {
  testsupport::TempFolder somewhere;
  hl::answerNextChooser(somewhere.withSeparator());
  app::exploreFolder();
  hl::answerNextChooser("");
  app::chooseDestination();
  // The volume and the free-space check are asked off the window's thread.
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));
  hl::answerNextChooser("");
  app::exploreFolder();
  const auto choosers = hl::choosers();
  ASSERT_EQ(choosers.size(), 3u);
  EXPECT_EQ(choosers[0].title, "Choisissez un répertoire");
  EXPECT_EQ(choosers[0].initialFolder, "C:\\");
  EXPECT_EQ(choosers[1].title, "Choisissez une destination");
  EXPECT_EQ(choosers[1].initialFolder, somewhere.withSeparator());
  EXPECT_EQ(hl::exploredFolders(), std::vector<std::string>{somewhere.withSeparator()});
  // A cancelled chooser explores nothing and keeps the start folder.
  EXPECT_EQ(choosers[2].initialFolder, somewhere.withSeparator());
}

TEST_F(MainWindowTest, CancelledSourceChooserChangesNothing) {
  hl::answerNextChooser("");
  app::chooseSource();
  ASSERT_EQ(hl::choosers().size(), 1u);
  EXPECT_EQ(hl::choosers()[0].title, "Choisissez un dossier à copier");
  EXPECT_EQ(hl::choosers()[0].initialFolder, "C:\\");
  EXPECT_EQ(hl::control(5).text, "");
  EXPECT_EQ(app::appState().sourceTotalSize, 100);
  EXPECT_EQ(app::appState().scanThread, 0);
}

TEST_F(MainWindowTest, ChosenSourceFillsTheFieldAndBecomesTheNextStartFolder) {
  testsupport::TempFolder source;
  testsupport::writeFile(source.path() / "a.txt", std::string(1000, 'a'));
  std::filesystem::create_directory(source.path() / "sous");
  testsupport::writeFile(source.path() / "sous" / "b.txt", std::string(234, 'b'));
  hl::answerNextChooser(source.withSeparator());
  app::chooseSource();
  EXPECT_EQ(hl::control(5).text, source.withSeparator());
  ASSERT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_EQ(app::appState().sourceTotalSize, 1234);  // measured by the scan thread
  EXPECT_EQ(hl::control(8).text, " 3 Eléments à copier, sous-dossiers inclus");
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_EQ(app::appState().statusText.get(), "");
  hl::answerNextChooser("");
  app::chooseSource();
  EXPECT_EQ(hl::choosers()[1].initialFolder, source.withSeparator());
}

TEST_F(MainWindowTest, ChosenDestinationFillsTheStatusBar) {
  testsupport::TempFolder destination;
  hl::answerNextChooser(destination.withSeparator());
  app::chooseDestination();
  // The volume and the free-space check are asked off the window's thread.
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));
  EXPECT_EQ(hl::control(7).text, destination.withSeparator());
  const app::AppState& state = app::appState();
  EXPECT_EQ(state.volumeRootText, "/");
  EXPECT_FALSE(state.volumeTypeText.empty());
  EXPECT_NE(state.volumeTypeText[0], ' ') << "the volume query failed: " << state.volumeTypeText;
  const auto bar = hl::statusBar(app::kStatusBar);
  EXPECT_EQ(bar.fields[0].text, "Support Id :  /");
  EXPECT_EQ(bar.fields[1].text, "Type de Partition : " + state.volumeTypeText);
  EXPECT_EQ(bar.fields[2].text, "Capacité Totale : " + state.volumeCapacityText);
  EXPECT_EQ(bar.fields[3].text, "Espace disponible : " + state.volumeFreeText);
  for (const auto& field : bar.fields) EXPECT_EQ(field.style, platform::FieldStyle::sunken);
  EXPECT_NE(state.volumeCapacityText, "0.00 Byte");
  EXPECT_EQ(state.destinationStartFolder, destination.withSeparator());
}

TEST_F(MainWindowTest, CancelledDestinationStillChecksSpaceWhenAsked) {
  setOptions({"space"});
  hl::answerNextChooser("");
  app::chooseDestination();
  // The volume and the free-space check are asked off the window's thread.
  ASSERT_TRUE(platform::testing::waitAllThreads(hl::kHangCeilingMs));
  EXPECT_EQ(hl::statusBar(app::kStatusBar).fields[1].text, "Partition : ");
  EXPECT_EQ(app::appState().options.space, 1);
  EXPECT_EQ(hl::control(8).text, "Taille totale du dossier en octets : 0");
  EXPECT_EQ(app::appState().statusText.get(),
            "L'espace disponible pour recevoir la copie du dossier est suffisant.");
}

TEST_F(MainWindowTest, ReportsMenuIsGreyedWithoutJournal) {
  hl::setCursor({300, 200});
  app::dispatchEvent({platform::kEventControl, app::kMainWindow, app::kJournalButton});
  EXPECT_FALSE(hl::menuItemEnabled(app::kReportsMenu, 24));
  EXPECT_FALSE(hl::menuItemEnabled(app::kReportsMenu, 25));
  ASSERT_EQ(hl::menusShown().size(), 1u);
  EXPECT_EQ(hl::menusShown()[0].position.x, 299);
  EXPECT_EQ(hl::menusShown()[0].position.y, 199);
  EXPECT_EQ(hl::menusShown()[0].window, app::kMainWindow);

  testsupport::writeFile(profile() / "ravelundlog.ini", "00\r\n");
  app::showReportsMenu();
  EXPECT_TRUE(hl::menuItemEnabled(app::kReportsMenu, 24));
  EXPECT_TRUE(hl::menuItemEnabled(app::kReportsMenu, 25));
}

TEST_F(MainWindowTest, DeletingTheJournalGreysTheMenuAgain) {
  testsupport::writeFile(profile() / "ravelundlog.ini", "00\r\n");
  app::dispatchEvent({platform::kEventMenu, app::kMainWindow, app::kDeleteJournalItem});
  EXPECT_FALSE(std::filesystem::exists(profile() / "ravelundlog.ini"));
  EXPECT_TRUE(hl::boxes().empty());
  app::showReportsMenu();
  EXPECT_FALSE(hl::menuItemEnabled(app::kReportsMenu, 24));
}

TEST_F(MainWindowTest, AJournalThatCannotBeDeletedIsReported) {
  // A folder of the journal's name counts as the journal but cannot be deleted as a file.
  std::filesystem::create_directory(profile() / "ravelundlog.ini");
  testsupport::writeFile(profile() / "ravelundlog.ini" / "x", "x");
  app::deleteJournalCommand();
  const auto boxes = hl::boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Erreur!");
  EXPECT_EQ(boxes[0].text, "Le fichier journal n'a pu être supprimé!");
  EXPECT_EQ(boxes[0].kind, 16);
  EXPECT_TRUE(std::filesystem::exists(profile() / "ravelundlog.ini" / "x"));
}

class ProgramRunTest : public testsupport::ProgramTest {};

TEST_F(ProgramRunTest, CloseBoxEndsTheProgram) {
  hl::startProgram([] { app::runProgram(); });
  ASSERT_TRUE(hl::waitIdle());
  hl::closeWindowBox(app::kMainWindow);
  ASSERT_TRUE(hl::waitProgramEnd());
  EXPECT_TRUE(hl::boxes().empty());
  EXPECT_FALSE(hl::window(app::kMainWindow).open);
}

TEST_F(ProgramRunTest, CancelButtonWithNoCopyQuitsWithoutAQuestion) {
  hl::startProgram([] { app::runProgram(); });
  ASSERT_TRUE(hl::waitIdle());
  hl::pressControl(app::kHelpButton);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_EQ(hl::boxes().size(), 1u);
  hl::pressControl(app::kCancelButton);
  ASSERT_TRUE(hl::waitProgramEnd());
  EXPECT_EQ(hl::boxes().size(), 1u);
  EXPECT_EQ(app::appState().currentEvent, platform::kEventClose);
}

TEST_F(ProgramRunTest, CancelDuringACopyPausesAsksAndResumesOnNo) {
  hl::startProgram([] { app::runProgram(); });
  ASSERT_TRUE(hl::waitIdle());
  std::atomic<bool> release{false};
  std::atomic<int> checkpoints{0};
  app::appState().copyThread = platform::startThread(
      [&](int) {
        while (!release) {
          if (!platform::threadCheckpoint()) return 0;
          ++checkpoints;
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
      },
      1);
  hl::answerNextBox(platform::kAnswerNo);
  hl::pressControl(app::kCancelButton);
  ASSERT_TRUE(hl::waitIdle());
  ASSERT_EQ(hl::boxes().size(), 1u);
  EXPECT_EQ(hl::boxes()[0].caption, "Tâche en cours!");
  EXPECT_EQ(hl::boxes()[0].text,
            "La copie est en cours, êtes vous sûr de vouloir annuler et quitter?");
  EXPECT_EQ(hl::boxes()[0].kind, 3);
  EXPECT_TRUE(hl::programRunning());
  EXPECT_EQ(app::appState().cancelAnswer, platform::kAnswerNo);
  // Resumed: the worker passes checkpoints again.
  const int seen = checkpoints;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(platform::headless::kHangCeilingMs);
  while (checkpoints == seen && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_GT(checkpoints, seen);

  hl::answerNextBox(platform::kAnswerYes);
  hl::pressControl(app::kCancelButton);
  ASSERT_TRUE(hl::waitProgramEnd());
  // The copy was stopped on the way out, and the cancellation journalled.
  EXPECT_TRUE(platform::testing::waitAllThreads(platform::headless::kHangCeilingMs));
  EXPECT_TRUE(std::filesystem::exists(profile() / "ravelundlog.ini"));
  release = true;
}

}  // namespace
