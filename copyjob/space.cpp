// The destination's volume texts and the free-space check, measured off the
// window's thread: a sleeping disk or a lost network share answers in
// seconds, and a source typed by hand may be a big tree to walk.
#include <cstdint>
#include <string>

#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "engine/engine.h"
#include "journal/journal.h"
#include "platform/threads.h"
#include "platform/ui.h"
#include "settings/options.h"
#include "volume/volume.h"

namespace copyjob {
namespace {

// The destination's four texts, as the status bar and the job's journal
// block show them.
struct VolumeTexts {
  std::string root;
  std::string type;
  std::string capacity;
  std::string free;
};

VolumeTexts queryVolume(const std::string& destination, const std::string& destinationField) {
  VolumeTexts texts;
  texts.root = volume::driveRoot(destination);
  texts.type = volume::fileSystemText(destinationField);
  texts.capacity = volume::totalCapacityText(destination);
  texts.free = volume::freeSpaceText(destination);
  return texts;
}

void showVolumeTexts(const VolumeTexts& texts) {
  app::AppState& state = app::appState();
  state.volumeRootText = texts.root;
  state.volumeTypeText = texts.type;
  state.volumeCapacityText = texts.capacity;
  state.volumeFreeText = texts.free;
  using platform::FieldStyle;
  platform::setStatusField(app::kStatusBar, 0, "Support Id :  " + texts.root, FieldStyle::sunken);
  platform::setStatusField(app::kStatusBar, 1, "Type de Partition : " + texts.type,
                           FieldStyle::sunken);
  platform::setStatusField(app::kStatusBar, 2, "Capacité Totale : " + texts.capacity,
                           FieldStyle::sunken);
  platform::setStatusField(app::kStatusBar, 3, "Espace disponible : " + texts.free,
                           FieldStyle::sunken);
}

// What the free-space check compares: the source field's text and its size,
// the folder the copy would fill, and the free bytes there.
struct SpaceFigures {
  std::string source;
  std::string target;
  std::int64_t size = -1;  // -1 until measured
  std::uint64_t freeBytes = 0;
};

// The check's figures as far as the window's thread knows them: the texts of
// the two path fields, and the source's size when the scan measured it (an
// empty source field names no folder and measures 0 bytes).
SpaceFigures spaceFiguresFromFields() {
  SpaceFigures figures;
  figures.source = platform::getText(app::kSourceField);
  figures.target =
      engine::copyTargetPath(platform::getText(app::kDestinationField), figures.source);
  figures.size =
      figures.source.empty() ? 0 : scannedSizeOf(engine::resolveTypedPath(figures.source));
  return figures;
}

// The disk's part of the check: the source walked when its size is not
// known yet, and the destination's free bytes.
void measureSpace(SpaceFigures& figures) {
  if (figures.size < 0) figures.size = engine::folderTotalSize(figures.source, "*.*");
  figures.freeBytes = volume::freeSpaceByteCount(figures.target);
}

// The check's figures, box, verdict and journal lines, on the window's thread.
void showSpaceCheck(const SpaceFigures& figures) {
  const std::string sizeText = std::to_string(figures.size);
  platform::setText(app::kSourceInfoLine, "Taille totale du dossier en octets : " + sizeText);
  const std::string freeText = std::to_string(figures.freeBytes);
  platform::setText(app::kDestinationInfoLine, "Espace disponible en octets : " + freeText);

  std::string verdict;
  if (static_cast<std::uint64_t>(figures.size) > figures.freeBytes) {
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
    journal::appendJournalLine(journalBlockHeader(engine::jobFolderName(figures.source)));
    journal::appendJournalLine("Taille totale du dossier à copier : " + sizeText + " bytes");
    journal::appendJournalLine("Espace disponible pour recevoir la copie  : " + freeText +
                               " bytes");
    journal::appendJournalLine(verdict);
  }
}

constexpr char kCheckingText[] =
    "Vérification de l'espace disponible pour recevoir la copie du dossier...";

// Runs `work` on the destination's thread with the window disabled; false
// when no thread could be started (the window is then enabled again).
template <typename Work>
bool startDestinationThread(Work work) {
  app::AppState& state = app::appState();
  platform::setWindowEnabled(app::kMainWindow, false);
  state.destinationThread = platform::startThread(
      [work = std::move(work)](int) mutable {
        work();
        return 0;
      },
      0);
  if (state.destinationThread != 0) return true;
  platform::setWindowEnabled(app::kMainWindow, true);
  return false;
}

// With the free-space option on, the check, its walk and volume query on the
// destination's thread; the window is enabled again once it is shown.
void checkSpaceIfAsked() {
  app::AppState& state = app::appState();
  settings::loadOptionFlags(state.options);
  if (state.options.space != 1) {
    platform::setWindowEnabled(app::kMainWindow, true);
    return;
  }
  app::setStatusText(kCheckingText);
  const bool started = startDestinationThread([figures = spaceFiguresFromFields()]() mutable {
    measureSpace(figures);
    // Quitting: the window and the journal are not the check's any more.
    if (!platform::threadCheckpoint()) return;
    platform::postToUi([figures] {
      if (app::appState().stopping) return;
      showSpaceCheck(figures);
      platform::setWindowEnabled(app::kMainWindow, true);
    });
  });
  if (!started) checkFreeSpace();
}

}  // namespace

void startDestinationQueries(const std::string& destination) {
  if (destination.empty()) {
    checkSpaceIfAsked();
    return;
  }
  const std::string destinationField = platform::getText(app::kDestinationField);
  const bool started = startDestinationThread([destination, destinationField] {
    const VolumeTexts texts = queryVolume(destination, destinationField);
    if (!platform::threadCheckpoint()) return;
    platform::postToUi([texts] {
      if (app::appState().stopping) return;
      showVolumeTexts(texts);
      checkSpaceIfAsked();
    });
  });
  if (started) return;
  showVolumeTexts(queryVolume(destination, destinationField));
  checkSpaceIfAsked();
}

void checkFreeSpace() {
  app::setStatusText(kCheckingText);
  SpaceFigures figures = spaceFiguresFromFields();
  measureSpace(figures);
  showSpaceCheck(figures);
}

}  // namespace copyjob
