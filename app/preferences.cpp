// The preferences window: the five options as check boxes, saved on request.
#include <array>

#include "app/dialogs.h"
#include "app/modal.h"
#include "app/state.h"
#include "journal/journal.h"
#include "platform/buttons.h"
#include "platform/ui.h"
#include "settings/options.h"

namespace app {
namespace {

// Each option's check box, by the option's place in the settings file.
constexpr std::array<int, settings::kOptionCount> kOptionBoxes = [] {
  std::array<int, settings::kOptionCount> boxes{};
  boxes[settings::kVerifyOption] = kVerifyCheckBox;
  boxes[settings::kSpaceOption] = kSpaceCheckBox;
  boxes[settings::kJournalOption] = kJournalCheckBox;
  boxes[settings::kOpenCopyOption] = kOpenCopyCheckBox;
  boxes[settings::kOpenJournalOption] = kOpenJournalCheckBox;
  return boxes;
}();

using platform::ControlKind;
using platform::Rgb;

constexpr int kHelpLine = 30;
constexpr int kBeforeCopyTitle = 31;
constexpr int kAfterCopyTitle = 32;
constexpr int kButtonPanel = 38;
constexpr int kSaveButton = 39;
constexpr int kCloseButton = 40;

constexpr Rgb kPanelBack{220, 229, 235};
constexpr Rgb kTitleText{90, 130, 159};

void create(ControlKind kind, int number, int x, int y, int width, int height,
            const char* text = "", int image = 0) {
  platform::createControl(kPreferencesWindow, {number, kind, x, y, width, height, text, image});
}

void createTitle(int number, int y, const char* text) {
  create(ControlKind::label, number, 10, y, 200, 15, text);
  platform::setTextColour(number, kTitleText);
  platform::setControlFont(number, kStatusFont);
}

void createControls() {
  create(ControlKind::label, kHelpLine, 0, 0, 400, 30,
         " Pour sauvegarder vos préférences, vous devez cliquer sur le bouton 'Enregistrer'\r"
         " Cliquez sur 'Fermer' pour ne pas modifier vos paramètres");
  platform::setBackColour(kHelpLine, kPanelBack);
  createTitle(kBeforeCopyTitle, 50, "Option avant copie");
  create(ControlKind::checkBox, kSpaceCheckBox, 20, 70, 370, 20,
         " Contrôlez automatiquement si l'espace disponible est suffisant");
  createTitle(kAfterCopyTitle, 120, "Options après copie");
  create(ControlKind::checkBox, kVerifyCheckBox, 20, 140, 370, 20,
         " Toujours vérifier si la copie s'est faite sans erreur");
  create(ControlKind::checkBox, kOpenCopyCheckBox, 20, 160, 370, 20,
         " Toujours ouvrir le dossier copié à la fin du processus");
  create(ControlKind::checkBox, kJournalCheckBox, 20, 180, 370, 20,
         " Sauvegarder les données relatives aux copies dans un journal");
  create(ControlKind::checkBox, kOpenJournalCheckBox, 20, 200, 370, 20,
         " Ouvrir automatiquement le journal après chaque copie");
  create(ControlKind::container, kButtonPanel, 0, 300, 400, 50);
  platform::setOnePixelBorder(kButtonPanel);
  platform::setBackColour(kButtonPanel, kPanelBack);
  platform::openContainer(kButtonPanel);
  create(ControlKind::imageButton, kSaveButton, 10, 10, 120, 30, "", kSaveButtonImage);
  create(ControlKind::imageButton, kCloseButton, 270, 10, 120, 30, "", kCloseButtonImage);
  platform::addTooltip(kPreferencesWindow, kSaveButton, "Enregistrer",
                       "Sauvegarder les préférences ou les modifications apportées et fermer la "
                       "fenêtre",
                       kSaveTipIcon);
  platform::addTooltip(kPreferencesWindow, kCloseButton, "Fermer",
                       "fermer les préférences sans sauvegarder les modifications", kCloseTipIcon);
  platform::closeContainer();
}

}  // namespace

void loadSettingsIntoWindow() {
  settings::OptionValues on{};
  if (!settings::readOptions(on)) return;
  for (std::size_t i = 0; i < on.size(); ++i) platform::setChecked(kOptionBoxes[i], on[i]);
}

bool saveSettingsFromWindow() {
  settings::OptionValues ticked{};
  for (std::size_t i = 0; i < ticked.size(); ++i) ticked[i] = platform::isChecked(kOptionBoxes[i]);
  // The journal exists, with its header, as soon as its option is saved.
  if (ticked[settings::kJournalOption]) journal::ensureJournal();
  return settings::saveOptions(ticked);
}

void showPreferences() {
  platform::WindowSpec window;
  window.title = "Ravelund Préférences";
  window.clientWidth = 400;
  window.clientHeight = 350;
  // Without its window there is nothing to edit: the main window stays usable.
  if (!openModalWindow(kPreferencesWindow, window)) return;
  createControls();
  loadSettingsIntoWindow();
  for (;;) {
    const platform::Event event = platform::waitEvent();
    if (endsModalWindow(kPreferencesWindow, event)) break;
    if (event.window != kPreferencesWindow || event.code != platform::kEventControl) continue;
    if (event.id == kCloseButton) break;
    if (event.id == kSaveButton) {
      if (saveSettingsFromWindow()) break;
      // The window stays open with the boxes as they are, so the user can
      // try again or close without saving.
      platform::messageBox("Erreur!", "Les préférences n'ont pu être enregistrées!",
                           platform::kBoxError);
    }
  }
  closeModalWindow(kPreferencesWindow);
}

}  // namespace app
