#include <string>

#include "app/state.h"
#include "app/status.h"
#include "copyjob/copyjob.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/threads.h"
#include "platform/ui.h"
#include "settings/settings.h"

namespace copyjob {

std::string journalBlockHeader(std::string_view folderName) {
  return "---------------------------- [ " + std::string(folderName) +
         " ]-------------------------------------------";
}

void startScan(const std::string& source) {
  app::AppState& state = app::appState();
  state.scannedFolders = 0;
  state.scannedFiles = 0;
  // The status goes up before the thread starts: a small tree can be counted
  // before this thread gets further, and the scan's own clearing of the status
  // must come last.
  app::setStatusText("Calcul du nombre d'éléments du dossier sélectionné");
  state.scanThread =
      platform::startThread([source](int) { return scanThreadMain(source); }, 0);
  state.sourceTotalSize = folderTotalSize(source, "*.*");
}

int scanThreadMain(const std::string& source) {
  app::AppState& state = app::appState();
  platform::setWindowEnabled(app::kMainWindow, false);
  const std::int32_t count = countElements(0, source);
  platform::setText(app::kSourceInfoLine,
                    " " + std::to_string(count) + " Eléments à copier, sous-dossiers inclus");
  platform::setWindowEnabled(app::kMainWindow, true);
  app::setStatusText("");
  settings::loadOptionFlags();
  if (state.options.log == 1) {
    journal::appendJournalLine(journalBlockHeader(jobFolderName(source)));
    journal::appendJournalLine(" Il y a " + std::to_string(state.scannedFiles + state.scannedFolders) +
                               " Eléments dans le dossier à copier (sous-dossiers inclus)");
  }
  return 0;
}

}  // namespace copyjob
