// The command bar's image buttons, their tooltips and their painting as the
// program sets them up, seen through the headless windowing layer.
#include "platform/buttons.h"

#include <gtest/gtest.h>

#include "app/program.h"
#include "app/state.h"
#include "platform/headless/buttons.h"
#include "platform/headless/headless.h"
#include "test_support.h"

namespace {

namespace hl = platform::headless;

class CommandBarTest : public testsupport::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    hl::setThemeLibrary(library_);
    ASSERT_TRUE(app::startUp());
  }

  // The last paint of `control`, after asking for one with these flags.
  hl::ButtonPaintRecord paint(int control, widgets::ItemState state = {}) {
    EXPECT_TRUE(hl::requestButtonPaint(control, state));
    const auto paints = hl::buttonPaints();
    return paints.empty() ? hl::ButtonPaintRecord{} : paints.back();
  }

  hl::ThemeLibrary library_;
};

class ClassicCommandBarTest : public CommandBarTest {
 protected:
  void SetUp() override {
    library_.present = false;
    CommandBarTest::SetUp();
  }
};

TEST_F(CommandBarTest, SevenImageButtonsWithTheirIconsAndTheIconLeftLayout) {
  const struct {
    int control;
    int image;
    const char* caption;
  } expected[] = {{15, app::kStartIcon, "Démarrer"},      {16, app::kCancelIcon, "Annuler"},
                  {17, app::kSettingsIcon, "Paramètres"}, {18, app::kJournalIcon, "Journal"},
                  {19, app::kHelpIcon, "Aide"},           {20, app::kFolderIcon, "Explorer"},
                  {21, app::kWebIcon, "Ostrevak"}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.control);
    const auto record = hl::buttonProperties(e.control);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->control, e.control);
    EXPECT_EQ(record->image, e.image);
    EXPECT_EQ(record->layout, widgets::iconLeft);
    EXPECT_EQ(record->hover, 0);
    EXPECT_EQ(hl::control(e.control).text, e.caption);
    EXPECT_EQ(hl::control(e.control).parent, app::kButtonBar);
  }
  // The chooser buttons are plain picture buttons.
  EXPECT_FALSE(hl::buttonProperties(app::kSourceChooserButton).has_value());
  EXPECT_FALSE(hl::requestButtonPaint(app::kSourceChooserButton, {}));
}

TEST_F(CommandBarTest, BalloonTooltipsCarryTitleTextAndTheButtonsOwnIcon) {
  const auto tips = hl::tooltips();
  ASSERT_EQ(tips.size(), 7u);
  const struct {
    int control;
    const char* title;
    const char* text;
    int icon;
  } expected[] = {
      {15, "Copier maintenant", "Démarrer la copie du répertoire sélectionné", app::kStartIcon},
      {16, "Annuler", "Annuler la copie et quitter Ostrevak Tessune", app::kCancelIcon},
      {17, "Préférences", "Configurer vos paramètres d'utilisation de Ostrevak Tessune",
       app::kSettingsIcon},
      {18, "Rapports", "Ouvrir ou supprimer le Journal d'évènements des copies", app::kJournalIcon},
      {21, "Sur Internet", "Connexion au site Ostrevak Software, dernières infos, mises à jour...",
       app::kWebIcon},
      {19, "Aide rapide", "Fonctionnement général de Ostrevak Tessune", app::kHelpIcon},
      {20, "Explorer", "Sélectionnez un dossier sur votre système et explorer le avec Windows",
       app::kFolderIcon},
  };
  for (std::size_t i = 0; i < tips.size(); ++i) {
    SCOPED_TRACE(expected[i].control);
    EXPECT_EQ(tips[i].window, app::kMainWindow);
    EXPECT_EQ(tips[i].control, expected[i].control);
    EXPECT_EQ(tips[i].title, expected[i].title);
    EXPECT_EQ(tips[i].text, expected[i].text);
    EXPECT_EQ(tips[i].titleIcon, expected[i].icon);
    EXPECT_TRUE(tips[i].balloon);
    EXPECT_EQ(tips[i].maximumWidth, 200);
  }
}

TEST_F(CommandBarTest, TooltipWithoutTitleShowsTheTextAlone) {
  platform::addTooltip(app::kMainWindow, app::kHelpButton, "", "Seulement le texte",
                       app::kHelpIcon);
  const auto tip = hl::tooltips().back();
  EXPECT_EQ(tip.text, "Seulement le texte");
  EXPECT_EQ(tip.title, "");
  EXPECT_EQ(tip.titleIcon, 0);
}

TEST_F(ClassicCommandBarTest, StartButtonPaintsItsIconAndCaptionInTheClassicFrame) {
  EXPECT_FALSE(platform::themedFramesInUse());
  const auto normal = paint(app::kStartButton);
  EXPECT_EQ(normal.window, app::kMainWindow);
  EXPECT_EQ(normal.caption, "Démarrer");
  EXPECT_EQ(normal.image, app::kStartIcon);
  EXPECT_FALSE(normal.plan.themed);
  EXPECT_EQ(normal.plan.classic.lines,
            widgets::classicFrame(widgets::ButtonLook::normal, 90, 30).lines);
  EXPECT_EQ(normal.plan.iconX, 10);
  EXPECT_EQ(normal.plan.iconY, 7);
  ASSERT_EQ(normal.plan.captions.size(), 1u);
  EXPECT_EQ(normal.plan.captions[0].x, 36);
  EXPECT_EQ(normal.plan.captions[0].y, 9);

  const auto pressed = paint(app::kStartButton, {true, false, false});
  EXPECT_EQ(pressed.plan.iconX, 11);
  EXPECT_EQ(pressed.plan.captions[0].x, 37);
  EXPECT_EQ(pressed.plan.classic.lines,
            widgets::classicFrame(widgets::ButtonLook::pressed, 90, 30).lines);
}

TEST_F(ClassicCommandBarTest, HoverRepaintsWithoutChangingTheClassicLook) {
  const auto before = paint(app::kHelpButton);
  hl::movePointerOver(app::kHelpButton);
  const auto after = paint(app::kHelpButton);
  EXPECT_EQ(hl::buttonProperties(app::kHelpButton)->hover, 1);
  EXPECT_EQ(after.plan.classic.lines, before.plan.classic.lines);
  EXPECT_EQ(after.plan.captions, before.plan.captions);
}

TEST_F(CommandBarTest, ThemedButtonTurnsHotUnderThePointerAndBackWhenItLeaves) {
  EXPECT_TRUE(platform::themedFramesInUse());
  EXPECT_EQ(paint(app::kJournalButton).plan.themeState, widgets::normalState);
  for (int move = 0; move < 4; ++move) hl::movePointerOver(app::kJournalButton);
  EXPECT_EQ(hl::repaints(app::kJournalButton).withoutErase, 1);
  EXPECT_EQ(paint(app::kJournalButton).plan.themeState, widgets::hotState);
  EXPECT_EQ(paint(app::kJournalButton, {false, true, false}).plan.themeState, widgets::hotState);
  hl::pointerLeaves(app::kJournalButton);
  EXPECT_EQ(hl::repaints(app::kJournalButton).withErase, 1);
  EXPECT_EQ(paint(app::kJournalButton).plan.themeState, widgets::normalState);
  EXPECT_EQ(paint(app::kJournalButton, {false, true, false}).plan.themeState,
            widgets::defaultedState);
  EXPECT_EQ(paint(app::kJournalButton, {true, true, false}).plan.themeState, widgets::pressedState);
}

TEST_F(CommandBarTest, DisabledButtonIsPaintedGreyedAndEngraved) {
  platform::setEnabled(app::kStartButton, false);
  const auto disabled = paint(app::kStartButton);
  EXPECT_EQ(disabled.plan.look, widgets::ButtonLook::disabled);
  EXPECT_EQ(disabled.plan.themeState, widgets::disabledState);
  EXPECT_TRUE(disabled.plan.iconDisabled);
  ASSERT_EQ(disabled.plan.captions.size(), 2u);
  EXPECT_EQ(disabled.plan.captions[0].colour, widgets::buttonHighlightColour);
  EXPECT_EQ(disabled.plan.captions[1].colour, widgets::buttonShadowColour);
}

TEST_F(CommandBarTest, DrawRequestOfAnotherControlTypeIsAnsweredWithoutPainting) {
  ASSERT_TRUE(hl::requestButtonPaint(app::kStartButton, {}, false));
  EXPECT_FALSE(hl::buttonPaints().back().plan.paints);
}

TEST_F(CommandBarTest, ThemeSwitchReloadsOncePerButtonAndRepaintsEach) {
  const int loadsBefore = hl::themeLoads();
  hl::setThemeLibrary({true, {true, true, true, true, true, true}, false});
  hl::themeChanged();
  EXPECT_EQ(hl::themeLoads() - loadsBefore, 7);
  for (int button = app::kStartButton; button <= app::kWebButton; ++button) {
    EXPECT_EQ(hl::repaints(button).withoutErase, 1) << button;
  }
  EXPECT_FALSE(paint(app::kStartButton).plan.themed);
}

TEST_F(CommandBarTest, LibraryThatCannotBeLoadedAgainLeavesTheClassicFrame) {
  ASSERT_TRUE(paint(app::kStartButton).plan.themed);
  hl::ThemeLibrary gone;
  gone.present = false;
  hl::setThemeLibrary(gone);
  hl::themeChanged();
  EXPECT_FALSE(platform::themedFramesInUse());
  EXPECT_FALSE(paint(app::kStartButton).plan.themed);
  // Back again at the next switch.
  hl::setThemeLibrary({});
  hl::themeChanged();
  EXPECT_TRUE(paint(app::kStartButton).plan.themed);
}

TEST_F(CommandBarTest, LibraryWithoutOneDrawingFunctionGetsTheClassicFrame) {
  hl::ThemeLibrary partial;
  partial.functions.drawThemeParentBackground = false;
  hl::setThemeLibrary(partial);
  hl::themeChanged();
  EXPECT_FALSE(paint(app::kStartButton).plan.themed);
}

}  // namespace
