#include <cstdint>
#include <string>

#include "app/state.h"
#include "app/status.h"
#include "copyjob/copyjob.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "volume/volume.h"

namespace copyjob {

void checkFreeSpace() {
  app::setStatusText("Vérification de l'espace disponible pour recevoir la copie du dossier...");
  const std::string source = platform::getText(app::kSourceField);
  const std::string target = copyTargetPath(platform::getText(app::kDestinationField), source);
  // An empty source field names no folder: it measures 0 bytes rather than
  // whatever an empty path would list.
  const std::int64_t size = source.empty() ? 0 : folderTotalSize(source, "*.*");
  const std::string sizeText = std::to_string(size);
  platform::setText(app::kSourceInfoLine, "Taille totale du dossier en octets : " + sizeText);
  const std::uint64_t freeBytes = volume::freeSpaceByteCount(target);
  const std::string freeText = std::to_string(freeBytes);
  platform::setText(app::kDestinationInfoLine, "Espace disponible en octets : " + freeText);

  std::string verdict;
  if (static_cast<std::uint64_t>(size) > freeBytes) {
    platform::messageBox("Espace disponible",
                         "Le support de destination pour votre copie ne dispose pas de "
                         "suffisamment d'espace disque. La totalité de votre dossier ne pourra "
                         "être copié.",
                         platform::kBoxWarning);
    verdict = "Attention! l'espace disponible est insuffisant! la copie sera incomplète.";
  } else {
    verdict = "L'espace disponible pour recevoir la copie du dossier est suffisant.";
  }
  app::setStatusText(verdict);

  settings::loadOptionFlags(app::appState().options);
  if (app::appState().options.log == 1) {
    journal::appendJournalLine(journalBlockHeader(jobFolderName(source)));
    journal::appendJournalLine("Taille totale du dossier à copier : " + sizeText + " bytes");
    journal::appendJournalLine("Espace disponible pour recevoir la copie  : " + freeText +
                               " bytes");
    journal::appendJournalLine(verdict);
  }
}

}  // namespace copyjob
