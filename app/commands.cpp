// The commands of the main window: the folder choosers, help, the shell
// commands, the reports menu and the repaint after a move.
#include "app/commands.h"

#include "app/dialogs.h"
#include "app/program.h"
#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "settings/options.h"

namespace app {
namespace {

constexpr char kFirstStartFolder[] = "C:\\";

void startFolderIfEmpty(std::string& folder) {
  if (folder.empty()) folder = kFirstStartFolder;
}

}  // namespace

void chooseSource() {
  AppState& state = appState();
  startFolderIfEmpty(state.sourceStartFolder);
  state.chosenSource =
      platform::chooseFolder("Choisissez un dossier à copier", state.sourceStartFolder);
  if (state.chosenSource.empty()) return;
  platform::setText(kSourceField, state.chosenSource);
  state.sourceStartFolder = state.chosenSource;
  copyjob::startScan(state.chosenSource);
}

void chooseDestination() {
  AppState& state = appState();
  startFolderIfEmpty(state.destinationStartFolder);
  state.chosenDestination =
      platform::chooseFolder("Choisissez une destination", state.destinationStartFolder);
  if (!state.chosenDestination.empty()) {
    platform::setText(kDestinationField, state.chosenDestination);
    state.destinationStartFolder = state.chosenDestination;
  }
  // The volume's texts and the free-space check come from the disk, which may
  // take seconds to answer: they are asked off the window's thread.
  copyjob::startDestinationQueries(state.chosenDestination);
}

void showHelp() {
  AppState& state = appState();
  state.helpText =
      "Fonctionnement général de Ostrevak Tessune\r\r"
      "1 - Cliquez du 'Paramètres' et sélectionnez vos options \r"
      "2 - Choisissez le dossier à copier en cliquant sur 'Select 1'\r"
      "3 - Choisissez le répertoire ou lecteur de destination en cliquant sur 'Select 2'. "
      "Lorsque vous avez fais votre choix, les informations sur le support s'affichent en bas "
      "dans la barre de statut.\r"
      "4 -  Cliquez sur 'Démarrer' pour lancer la copie\r\r"
      "Selon les options choisies, le temps du processus complet sera plus ou moins long. "
      "Attendez qu'il se termine puis recommencez avec un autre dossier si nécessaire.\r\r"
      "Rendez-vous sur la page dédiée à Ostrevak Tessune pour suivre son évolution et obtenir "
      "des mises à jours. Cordialement, Meldrin";
  platform::messageBox("Ravelund, comment ça marche", state.helpText, platform::kBoxInformation);
}

void exploreFolder() {
  AppState& state = appState();
  startFolderIfEmpty(state.destinationStartFolder);
  state.explorerFolder =
      platform::chooseFolder("Choisissez un répertoire", state.destinationStartFolder);
  if (state.explorerFolder.empty()) return;
  platform::exploreFolder(state.explorerFolder);
  state.destinationStartFolder = state.explorerFolder;
}

void openWebPage() { platform::openWebAddress(kWebPageAddress); }

void repaintAfterMove() {
  paintLabels();
  repaintStatusLine();
  platform::updateWindowNow(kMainWindow);
}

void showReportsMenu() {
  const bool exists = journal::journalExists();
  platform::setMenuItemEnabled(kReportsMenu, kOpenJournalItem, exists);
  platform::setMenuItemEnabled(kReportsMenu, kDeleteJournalItem, exists);
  const platform::Point cursor = platform::cursorPosition();
  platform::showPopupMenu(kReportsMenu, kMainWindow, {cursor.x - 1, cursor.y - 1});
}

void openJournalCommand() {
  if (journal::journalExists()) app::showJournalViewer();
}

void deleteJournalCommand() {
  if (!journal::journalExists()) return;
  if (!platform::deleteFile(journal::journalPath())) {
    platform::messageBox("Erreur!", "Le fichier journal n'a pu être supprimé!",
                         platform::kBoxError);
  }
}

}  // namespace app
