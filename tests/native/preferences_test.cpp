// The preferences window opened from the running program: its controls, the
// boxes filled from the settings file, and what each way of closing it writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/dialogs.h"
#include "app/program.h"
#include "app/state.h"
#include "platform/headless/buttons.h"
#include "platform/headless/headless.h"
#include "settings/options.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace hl = platform::headless;
using platform::ControlKind;
using platform::Rgb;
using testsupport::readFile;
using testsupport::writeFile;

constexpr int kSave = 39;
constexpr int kClose = 40;

constexpr char kOnlyVerifyAndLog[] =
    "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n";

class PreferencesTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    settingsFile_ = profile() / "ravelund.ini";
  }
  void TearDown() override {
    if (hl::programRunning()) {
      if (hl::window(app::kPreferencesWindow).open) hl::closeWindowBox(app::kPreferencesWindow);
      hl::waitIdle();
      hl::closeWindowBox(app::kMainWindow);
      hl::waitProgramEnd();
    }
    ProgramTest::TearDown();
  }

  void startAndOpenPreferences() {
    hl::startProgram([] { app::runProgram(); });
    ASSERT_TRUE(hl::waitIdle());
    hl::pressControl(app::kSettingsButton);
    ASSERT_TRUE(hl::waitIdle());
    ASSERT_TRUE(hl::window(app::kPreferencesWindow).open);
  }

  void press(int control) {
    hl::pressControl(control);
    ASSERT_TRUE(hl::waitIdle());
  }

  fs::path settingsFile_;
};

TEST_F(PreferencesTest, WindowHasItsTitleSizeAndControlsInOrder) {
  startAndOpenPreferences();
  const auto window = hl::window(app::kPreferencesWindow);
  EXPECT_EQ(window.spec.title, "Ravelund Préférences");
  EXPECT_EQ(window.spec.clientWidth, 400);
  EXPECT_EQ(window.spec.clientHeight, 350);
  EXPECT_FALSE(window.spec.sizable);
  EXPECT_FALSE(window.spec.minimiseBox);
  EXPECT_FALSE(window.spec.maximiseBox);

  const struct {
    int number;
    ControlKind kind;
    int parent;
    int x, y, width, height;
    const char* text;
  } expected[] = {
      {30, ControlKind::label, 0, 0, 0, 400, 30,
       " Pour sauvegarder vos préférences, vous devez cliquer sur le bouton 'Enregistrer'\r "
       "Cliquez sur 'Fermer' pour ne pas modifier vos paramètres"},
      {31, ControlKind::label, 0, 10, 50, 200, 15, "Option avant copie"},
      {33, ControlKind::checkBox, 0, 20, 70, 370, 20,
       " Contrôlez automatiquement si l'espace disponible est suffisant"},
      {32, ControlKind::label, 0, 10, 120, 200, 15, "Options après copie"},
      {34, ControlKind::checkBox, 0, 20, 140, 370, 20,
       " Toujours vérifier si la copie s'est faite sans erreur"},
      {35, ControlKind::checkBox, 0, 20, 160, 370, 20,
       " Toujours ouvrir le dossier copié à la fin du processus"},
      {36, ControlKind::checkBox, 0, 20, 180, 370, 20,
       " Sauvegarder les données relatives aux copies dans un journal"},
      {37, ControlKind::checkBox, 0, 20, 200, 370, 20,
       " Ouvrir automatiquement le journal après chaque copie"},
      {38, ControlKind::container, 0, 0, 300, 400, 50, ""},
      {39, ControlKind::imageButton, 38, 10, 10, 120, 30, ""},
      {40, ControlKind::imageButton, 38, 270, 10, 120, 30, ""},
  };
  std::vector<int> order;
  for (int number : hl::controlsInCreationOrder()) {
    if (hl::control(number).window == app::kPreferencesWindow) order.push_back(number);
  }
  EXPECT_EQ(order, (std::vector<int>{30, 31, 33, 32, 34, 35, 36, 37, 38, 39, 40}));
  for (const auto& e : expected) {
    SCOPED_TRACE(e.number);
    const auto c = hl::control(e.number);
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_EQ(c.parent, e.parent);
    EXPECT_EQ(c.x, e.x);
    EXPECT_EQ(c.y, e.y);
    EXPECT_EQ(c.width, e.width);
    EXPECT_EQ(c.height, e.height);
    EXPECT_EQ(c.text, e.text);
  }
  EXPECT_EQ(hl::control(30).backColour, (Rgb{220, 229, 235}));
  for (int title : {31, 32}) {
    EXPECT_EQ(hl::control(title).textColour, (Rgb{90, 130, 159}));
    EXPECT_EQ(hl::control(title).font, app::kStatusFont);
  }
  EXPECT_EQ(hl::control(38).backColour, (Rgb{220, 229, 235}));
  EXPECT_TRUE(hl::hasOnePixelBorder(38));
  EXPECT_EQ(hl::control(kSave).image, app::kSaveButtonImage);
  EXPECT_EQ(hl::control(kClose).image, app::kCloseButtonImage);

  std::vector<hl::TooltipRecord> tips;
  for (const auto& tip : hl::tooltips()) {
    if (tip.window == app::kPreferencesWindow) tips.push_back(tip);
  }
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0].control, kSave);
  EXPECT_EQ(tips[0].title, "Enregistrer");
  EXPECT_EQ(tips[0].text,
            "Sauvegarder les préférences ou les modifications apportées et fermer la fenêtre");
  EXPECT_EQ(tips[0].titleIcon, app::kSaveTipIcon);
  EXPECT_EQ(tips[1].control, kClose);
  EXPECT_EQ(tips[1].title, "Fermer");
  EXPECT_EQ(tips[1].text, "fermer les préférences sans sauvegarder les modifications");
  EXPECT_EQ(tips[1].titleIcon, app::kCloseTipIcon);
}

TEST_F(PreferencesTest, MainWindowTakesNoInputWhileTheWindowIsOpen) {
  startAndOpenPreferences();
  EXPECT_FALSE(hl::window(app::kMainWindow).enabled);
  press(app::kHelpButton);
  hl::closeWindowBox(app::kMainWindow);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_TRUE(hl::boxes().empty());
  EXPECT_TRUE(hl::programRunning());
  press(kClose);
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  // Usable again: the help button answers.
  press(app::kHelpButton);
  EXPECT_EQ(hl::boxes().size(), 1u);
}

TEST_F(PreferencesTest, AClosingAskedOfTheMainWindowClosesBothAndSavesNothing) {
  writeFile(settingsFile_, kOnlyVerifyAndLog);
  startAndOpenPreferences();
  platform::setChecked(app::kSpaceCheckBox, true);
  // The main window is disabled; the system can still ask it to close.
  platform::postClose(app::kMainWindow);
  ASSERT_TRUE(hl::waitProgramEnd());
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_EQ(readFile(settingsFile_), kOnlyVerifyAndLog);
}

TEST_F(PreferencesTest, BoxesStartFromTheSettingsFileOrClearedWithoutOne) {
  writeFile(settingsFile_, "opencopy = ok\r\nverif = ok\r\nspace = OK\r\n");
  startAndOpenPreferences();
  EXPECT_TRUE(hl::control(app::kVerifyCheckBox).checked);
  EXPECT_TRUE(hl::control(app::kOpenCopyCheckBox).checked);
  EXPECT_FALSE(hl::control(app::kSpaceCheckBox).checked);
  EXPECT_FALSE(hl::control(app::kJournalCheckBox).checked);
  EXPECT_FALSE(hl::control(app::kOpenJournalCheckBox).checked);
  press(kClose);

  fs::remove(settingsFile_);
  press(app::kSettingsButton);
  for (int box = app::kSpaceCheckBox; box <= app::kOpenJournalCheckBox; ++box) {
    EXPECT_FALSE(hl::control(box).checked) << box;
  }
  press(kClose);
  EXPECT_FALSE(fs::exists(settingsFile_)) << "reading creates no file";
}

TEST_F(PreferencesTest, CloseButtonAndCloseBoxWriteNothing) {
  writeFile(settingsFile_, kOnlyVerifyAndLog);
  startAndOpenPreferences();
  platform::setChecked(app::kOpenJournalCheckBox, true);
  press(kClose);
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_EQ(readFile(settingsFile_), kOnlyVerifyAndLog);

  press(app::kSettingsButton);
  EXPECT_FALSE(hl::control(app::kOpenJournalCheckBox).checked)
      << "each opening starts from the file";
  platform::setChecked(app::kSpaceCheckBox, true);
  hl::closeWindowBox(app::kPreferencesWindow);
  ASSERT_TRUE(hl::waitIdle());
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_EQ(readFile(settingsFile_), kOnlyVerifyAndLog);
  EXPECT_TRUE(hl::programRunning()) << "the close box of the preferences does not quit";
}

TEST_F(PreferencesTest, SaveWritesExactlyTheFiveLinesAndCloses) {
  writeFile(settingsFile_, "; a comment\r\n[Groupe]\r\nautre = 1\r\n");
  startAndOpenPreferences();
  platform::setChecked(app::kVerifyCheckBox, true);
  platform::setChecked(app::kOpenJournalCheckBox, true);
  press(kSave);
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_EQ(readFile(settingsFile_),
            "verif = ok\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = ok\r\n");
  EXPECT_FALSE(fs::exists(profile() / "ravelundlog.ini"));
  EXPECT_TRUE(hl::boxes().empty());
  // The window itself never touches the options held by the program.
  EXPECT_EQ(app::appState().options.verif, 0);
}

TEST_F(PreferencesTest, SavingWithTheJournalTickedCreatesTheJournal) {
  startAndOpenPreferences();
  platform::setChecked(app::kJournalCheckBox, true);
  press(kSave);
  EXPECT_EQ(readFile(settingsFile_),
            "verif = no\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
  EXPECT_TRUE(fs::exists(profile() / "ravelundlog.ini"));
}

TEST_F(PreferencesTest, FailedSaveIsReportedAndKeepsTheWindowOpen) {
  // A settings file whose folder cannot exist: its parent is a file.
  writeFile(profile() / "pas-un-dossier", "x");
  settings::testing::overrideSettingsPath((profile() / "pas-un-dossier" / "ravelund.ini").string());
  startAndOpenPreferences();
  platform::setChecked(app::kSpaceCheckBox, true);
  press(kSave);
  ASSERT_EQ(hl::boxes().size(), 1u);
  EXPECT_EQ(hl::boxes()[0].caption, "Erreur!");
  EXPECT_EQ(hl::boxes()[0].text, "Les préférences n'ont pu être enregistrées!");
  EXPECT_EQ(hl::boxes()[0].kind, 16);
  EXPECT_TRUE(hl::window(app::kPreferencesWindow).open);
  EXPECT_FALSE(hl::window(app::kMainWindow).enabled);
  EXPECT_TRUE(hl::control(app::kSpaceCheckBox).checked);
  EXPECT_FALSE(hl::control(app::kVerifyCheckBox).checked);
  press(kClose);
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_EQ(readFile(profile() / "pas-un-dossier"), "x");
}

TEST_F(PreferencesTest, WindowThatCannotBeOpenedLeavesTheMainWindowUsable) {
  writeFile(settingsFile_, kOnlyVerifyAndLog);
  hl::refuseToOpen(app::kPreferencesWindow);
  hl::startProgram([] { app::runProgram(); });
  ASSERT_TRUE(hl::waitIdle());
  press(app::kSettingsButton);
  EXPECT_FALSE(hl::window(app::kPreferencesWindow).open);
  EXPECT_TRUE(hl::window(app::kMainWindow).enabled);
  EXPECT_FALSE(hl::hasControl(kSave));
  EXPECT_EQ(readFile(settingsFile_), kOnlyVerifyAndLog);
  press(app::kHelpButton);
  EXPECT_EQ(hl::boxes().size(), 1u);
}

}  // namespace
