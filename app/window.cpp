// The main window: its frame, status bar, reports menu and controls.
#include "app/program.h"
#include "app/state.h"
#include "platform/buttons.h"
#include "widgets/paint.h"

namespace app {
namespace {

using platform::ControlKind;
using platform::Rgb;

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 410;
constexpr int kFixedFieldWidth = 110;

constexpr Rgb kFieldText{227, 225, 225};
constexpr Rgb kFieldBack{93, 153, 223};
constexpr Rgb kSourceInfoBack{74, 145, 214};
constexpr Rgb kButtonBarBack{220, 229, 235};

struct CommandButton {
  int number;
  int x;
  int width;
  const char* caption;
  int icon;
  const char* tipTitle;
  const char* tipText;
};

constexpr CommandButton kCommandButtons[] = {
    {kStartButton, 0, 90, "Démarrer", kStartIcon, "Copier maintenant",
     "Démarrer la copie du répertoire sélectionné"},
    {kCancelButton, 90, 90, "Annuler", kCancelIcon, "Annuler",
     "Annuler la copie et quitter Ostrevak Tessune"},
    {kSettingsButton, 180, 100, "Paramètres", kSettingsIcon, "Préférences",
     "Configurer vos paramètres d'utilisation de Ostrevak Tessune"},
    {kJournalButton, 280, 85, "Journal", kJournalIcon, "Rapports",
     "Ouvrir ou supprimer le Journal d'évènements des copies"},
    {kHelpButton, 365, 65, "Aide", kHelpIcon, "Aide rapide",
     "Fonctionnement général de Ostrevak Tessune"},
    {kExplorerButton, 430, 80, "Explorer", kFolderIcon, "Explorer",
     "Sélectionnez un dossier sur votre système et explorer le avec Windows"},
    {kWebButton, 510, 90, "Ostrevak", kWebIcon, "Sur Internet",
     "Connexion au site Ostrevak Software, dernières infos, mises à jour..."},
};

// The balloon tooltips are attached once all seven buttons exist, in this order.
constexpr int kTooltipOrder[] = {kStartButton, kCancelButton, kSettingsButton, kJournalButton,
                                 kWebButton,   kHelpButton,   kExplorerButton};

bool create(ControlKind kind, int number, int x, int y, int width, int height, int image = 0) {
  return platform::createControl(kMainWindow, {number, kind, x, y, width, height, {}, image});
}

void createPathField(int number, int y) {
  create(ControlKind::edit, number, 10, y, 550, 20);
  platform::setBackColour(number, kFieldBack);
  platform::setTextColour(number, kFieldText);
}

void createChooserButton(int number, int y, const char* tooltip) {
  create(ControlKind::imageButton, number, 560, y, 30, 25, kFolderIcon);
  platform::addPlainTooltip(kMainWindow, number, tooltip);
}

// The three other fields share equally what the fixed field leaves.
std::vector<int> statusFieldEdges(int clientWidth) {
  const int shared = (clientWidth - kFixedFieldWidth) / 3;
  return {kFixedFieldWidth, kFixedFieldWidth + shared, kFixedFieldWidth + 2 * shared,
          kFixedFieldWidth + 3 * shared};
}

}  // namespace

bool buildMainWindow() {
  platform::WindowSpec window;
  window.title = kProgramTitle;
  window.clientWidth = kClientWidth;
  window.clientHeight = kClientHeight;
  if (!platform::openWindow(kMainWindow, window)) return false;
  platform::installMainWindowCallback(kMainWindow);

  platform::createStatusBar(kMainWindow, kStatusBar, statusFieldEdges(kClientWidth), 18);
  platform::setStatusField(kStatusBar, 0, "Support Id : ", platform::FieldStyle::sunken);
  platform::setStatusField(kStatusBar, 1, "Partition : ", platform::FieldStyle::raised);
  platform::setStatusField(kStatusBar, 2, "Capacité Totale : ", platform::FieldStyle::sunken);
  platform::setStatusField(kStatusBar, 3, "Espace disponible : ", platform::FieldStyle::raised);

  platform::createPopupMenu(kReportsMenu, {{kOpenJournalItem, "Ouvrir"},
                                           {0, ""},
                                           {kDeleteJournalItem, "Supprimer"}});

  create(ControlKind::picture, kBackgroundPictureControl, 0, 0, kClientWidth, 342,
         kBackgroundImage);
  platform::setEnabled(kBackgroundPictureControl, false);
  createPathField(kSourceField, 35);
  createChooserButton(kSourceChooserButton, 30, "Dossier à copier");
  create(ControlKind::label, kSourceInfoLine, 10, 60, 580, 15);
  platform::setBackColour(kSourceInfoLine, kSourceInfoBack);
  createPathField(kDestinationField, 125);
  createChooserButton(kDestinationChooserButton, 120, "Destination de la copie");
  create(ControlKind::label, kDestinationInfoLine, 10, 150, 580, 15);
  platform::setBackColour(kDestinationInfoLine, kFieldBack);
  create(ControlKind::progress, kActivityBar, 2, 325, 596, 10);
  platform::setProgressRange(kActivityBar, 100);
  create(ControlKind::container, kButtonBar, 0, 340, kClientWidth, 50);
  platform::setBackColour(kButtonBar, kButtonBarBack);

  platform::openContainer(kButtonBar);
  for (const auto& button : kCommandButtons) {
    platform::createImageButton(kMainWindow, button.number, button.x, 0, button.width, 30,
                                button.caption, button.icon, widgets::iconLeft);
  }
  for (const int number : kTooltipOrder) {
    for (const auto& button : kCommandButtons) {
      if (button.number != number) continue;
      platform::addTooltip(kMainWindow, number, button.tipTitle, button.tipText, button.icon);
    }
  }
  create(ControlKind::progress, kOverallProgressBar, 0, 30, kClientWidth, 17);
  platform::setProgressRange(kOverallProgressBar, appState().sourceTotalSize);
  platform::closeContainer();
  return true;
}

}  // namespace app
