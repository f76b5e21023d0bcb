#include <chrono>
#include <cstdint>
#include <string>

#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "engine/engine.h"
#include "engine/path_text.h"
#include "journal/journal.h"
#include "platform/taskbar.h"
#include "platform/threads.h"
#include "platform/ui.h"
#include "settings/options.h"

namespace copyjob {

std::string journalBlockHeader(std::string_view folderName) {
  return "---------------------------- [ " + std::string(folderName) +
         " ]-------------------------------------------";
}

namespace {

// Long enough for a stopped walk to reach its next folder; short enough that
// choosing a new source never feels stuck.
constexpr int kScanStopWaitMs = 5000;

// Counts and sizes `source` in one walk, the counts going into the state's
// scannedFiles and scannedFolders and their running sum into the source
// information line as " " + n while it grows. Rewriting the line for every
// element would make the count as slow as the window's message traffic; it is
// shown at most every 10 ms instead, and the last value shown is always the
// final one.
engine::TreeTotals countAndSizeSource(const std::string& source) {
  app::AppState& state = app::appState();
  using Clock = std::chrono::steady_clock;
  constexpr auto kTextInterval = std::chrono::milliseconds(10);
  std::int64_t shown = -1;
  auto shownAt = Clock::now() - kTextInterval;
  const auto show = [&](std::int64_t count) {
    platform::postToUi(
        [line = " " + std::to_string(count)] { platform::setText(app::kSourceInfoLine, line); });
    shown = count;
    shownAt = Clock::now();
  };
  const engine::TreeTotals totals =
      engine::treeTotals(source, [&](std::int32_t files, std::int32_t folders) {
        state.scannedFiles = files;
        state.scannedFolders = folders;
        if (Clock::now() - shownAt >= kTextInterval) show(std::int64_t{files} + folders);
      });
  const std::int64_t count = totals.files + totals.folders;
  if (shown >= 0 && shown != count) show(count);
  return totals;
}

}  // namespace

void startScan(const std::string& source) {
  app::AppState& state = app::appState();
  // One scan at a time: an earlier one still walking is stopped and awaited
  // (what it posted served meanwhile) before the counters are reset.
  const int earlier = state.scanThread;
  if (platform::threadRunning(earlier)) {
    platform::stopThread(earlier);
    platform::pumpUntil([earlier] { return !platform::threadRunning(earlier); }, kScanStopWaitMs);
  }
  state.scannedFolders = 0;
  state.scannedFiles = 0;
  // Until this scan ends, no folder's size is known.
  state.scannedSource.clear();
  app::setStatusText("Calcul du nombre d'éléments du dossier sélectionné");
  // The window takes no input until the scan is done; it is disabled before
  // the thread starts, so the scan's end always comes after.
  platform::setWindowEnabled(app::kMainWindow, false);
  // The walk runs on the scan thread, so the window keeps painting and shows
  // the live count however large the tree.
  state.scanThread = platform::startThread([source](int) { return scanThreadMain(source); }, 0);
  if (state.scanThread != 0) {
    platform::setTaskbarProgress(platform::TaskbarProgress::indeterminate);
    return;
  }
  platform::setWindowEnabled(app::kMainWindow, true);
  // Without its thread the scan shows nothing, but the copy's progress still
  // needs the size: measured here then, as the only way left.
  state.sourceTotalSize = engine::folderTotalSize(source, "*.*");
}

namespace {

// The end of a scan, on the UI thread: the total for the copy's progress,
// the window given back, the status cleared and the count journalled.
void finishScan(const std::string& source, std::int32_t count, std::int64_t totalSize) {
  app::AppState& state = app::appState();
  // The program is quitting: the window and the journal are not the scan's
  // any more.
  if (state.stopping) return;
  state.sourceTotalSize = totalSize;
  state.scannedSource = source;
  platform::setTaskbarProgress(platform::TaskbarProgress::none);
  platform::setWindowEnabled(app::kMainWindow, true);
  app::setStatusText("");
  settings::loadOptionFlags(state.options);
  if (state.options.log == 1) {
    journal::appendJournalLine(journalBlockHeader(engine::jobFolderName(source)));
    journal::appendJournalLine(" Il y a " + std::to_string(count) +
                               " Eléments dans le dossier à copier (sous-dossiers inclus)");
  }
}

}  // namespace

std::int64_t scannedSizeOf(std::string_view resolvedSource) {
  const app::AppState& state = app::appState();
  if (state.scannedSource.empty() || resolvedSource.empty()) return -1;
  if (engine::withSeparator(engine::resolveTypedPath(state.scannedSource)) !=
      engine::withSeparator(resolvedSource)) {
    return -1;
  }
  return state.sourceTotalSize;
}

int scanThreadMain(const std::string& source) {
  const engine::TreeTotals totals = countAndSizeSource(source);
  const auto count = static_cast<std::int32_t>(totals.files + totals.folders);
  // A scan stopped at exit or replaced by a newer one leaves the window, the
  // total and the journal to what comes next.
  if (!platform::threadCheckpoint()) return 0;
  platform::postToUi(
      [line = " " + std::to_string(count) + " Eléments à copier, sous-dossiers inclus"] {
        platform::setText(app::kSourceInfoLine, line);
      });
  platform::postToUi(
      [source, count, totalSize = totals.bytes] { finishScan(source, count, totalSize); });
  return 0;
}

}  // namespace copyjob
