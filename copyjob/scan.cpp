#include <chrono>
#include <cstdint>
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

namespace {

// Long enough for a stopped walk to reach its next folder; short enough that
// choosing a new source never feels stuck.
constexpr int kScanStopWaitMs = 5000;

// Counts the elements of `source` into the state's scannedFiles and
// scannedFolders, showing their running sum in the source information line as
// " " + n while it grows. Rewriting the line for every element would make the
// count as slow as the window's message traffic; it is shown at most every
// 10 ms instead, and the last value shown is always the final one.
std::int32_t countSourceElements(const std::string& source) {
  app::AppState& state = app::appState();
  using Clock = std::chrono::steady_clock;
  constexpr auto kTextInterval = std::chrono::milliseconds(10);
  std::int64_t shown = -1;
  auto shownAt = Clock::now() - kTextInterval;
  const auto show = [&](std::int64_t count) {
    platform::setText(app::kSourceInfoLine, " " + std::to_string(count));
    shown = count;
    shownAt = Clock::now();
  };
  const std::int32_t count =
      countElements(0, source, [&](std::int32_t files, std::int32_t folders) {
        state.scannedFiles = files;
        state.scannedFolders = folders;
        if (Clock::now() - shownAt >= kTextInterval) show(files + folders);
      });
  if (shown >= 0 && shown != count) show(count);
  return count;
}

}  // namespace

void startScan(const std::string& source) {
  app::AppState& state = app::appState();
  // One scan at a time: an earlier one still walking is stopped and awaited
  // (its window calls served meanwhile) before the counters are reset.
  const int earlier = state.scanThread;
  if (platform::threadRunning(earlier)) {
    platform::stopThread(earlier);
    platform::pumpUntil([earlier] { return !platform::threadRunning(earlier); }, kScanStopWaitMs);
  }
  state.scannedFolders = 0;
  state.scannedFiles = 0;
  // The status goes up before the thread starts: a small tree can be counted
  // before this thread gets further, and the scan's own clearing of the status
  // must come last.
  app::setStatusText("Calcul du nombre d'éléments du dossier sélectionné");
  // Both walks run on the scan thread, so the window keeps painting and shows
  // the live count however large the tree.
  state.scanThread = platform::startThread([source](int) { return scanThreadMain(source); }, 0);
  // Without its thread the scan shows nothing, but the copy's progress still
  // needs the size: measured here then, as the only way left.
  if (state.scanThread == 0) state.sourceTotalSize = folderTotalSize(source, "*.*");
}

int scanThreadMain(const std::string& source) {
  app::AppState& state = app::appState();
  platform::setWindowEnabled(app::kMainWindow, false);
  const std::int32_t count = countSourceElements(source);
  // A scan stopped at exit or replaced by a newer one leaves the window, the
  // total and the journal to what comes next.
  if (!platform::threadCheckpoint()) return 0;
  platform::setText(app::kSourceInfoLine,
                    " " + std::to_string(count) + " Eléments à copier, sous-dossiers inclus");
  const std::int64_t totalSize = folderTotalSize(source, "*.*");
  if (!platform::threadCheckpoint()) return 0;
  state.sourceTotalSize = totalSize;
  platform::setWindowEnabled(app::kMainWindow, true);
  app::setStatusText("");
  settings::loadOptionFlags(state.options);
  if (state.options.log == 1) {
    journal::appendJournalLine(journalBlockHeader(jobFolderName(source)));
    journal::appendJournalLine(" Il y a " + std::to_string(count) +
                               " Eléments dans le dossier à copier (sous-dossiers inclus)");
  }
  return 0;
}

}  // namespace copyjob
