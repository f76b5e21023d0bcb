#include "app/state.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/threads.h"
#include "platform/ui.h"

namespace copyjob {
namespace {

// Long enough for a stopped copy to finish its chunk and remove its
// temporary file; short enough that quitting never feels stuck.
constexpr int kStopWaitMs = 5000;

}  // namespace

void cancelAndQuit() {
  app::AppState& state = app::appState();
  const int copyThread = state.copyThread;
  if (!platform::threadRunning(copyThread)) {
    state.currentEvent = platform::kEventClose;
    return;
  }
  platform::pauseThread(copyThread);
  platform::stopTimer(app::kMainWindow, app::kCopyTickTimer);
  state.cancelAnswer = platform::messageBox(
      "Tâche en cours!", "La copie est en cours, êtes vous sûr de vouloir annuler et quitter?",
      platform::kBoxYesNoCancel);
  if (state.cancelAnswer == platform::kAnswerYes) {
    journal::appendJournalLine("ANNULATION DE LA COPIE EN COURS PAR L'UTILISATEUR");
    state.currentEvent = platform::kEventClose;
    return;
  }
  platform::resumeThread(copyThread);
}

void stopJobThreads() {
  app::AppState& state = app::appState();
  const int copyThread = state.copyThread;
  const int verifyThread = state.verifyThread;
  const int scanThread = state.scanThread;
  // The scan uses the program's state and window too: it must not outlive them.
  if (platform::threadRunning(scanThread)) platform::stopThread(scanThread);
  if (platform::threadRunning(copyThread)) {
    platform::stopThread(copyThread);
    platform::stopTimer(app::kMainWindow, app::kCopyTickTimer);
    platform::stopTimer(app::kMainWindow, app::kCopyMeasureTimer);
  }
  if (platform::threadRunning(verifyThread)) {
    platform::stopThread(verifyThread);
    platform::stopTimer(app::kMainWindow, app::kVerifyTickTimer);
  }
  platform::pumpUntil(
      [&] {
        return !platform::threadRunning(copyThread) && !platform::threadRunning(verifyThread) &&
               !platform::threadRunning(scanThread);
      },
      kStopWaitMs);
}

}  // namespace copyjob
