// The copy job from the click on "Démarrer" to its end: the checks, the
// journal's opening block, the copy thread with its two timers, the end of the
// copy, the offer of a verification, and quitting while a job runs.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "engine/engine.h"
#include "engine/path_text.h"
#include "journal/date.h"
#include "journal/journal.h"
#include "platform/files.h"
#include "platform/taskbar.h"
#include "platform/threads.h"
#include "platform/ui.h"
#include "settings/options.h"
#include "text/text.h"

namespace copyjob {
namespace {

// Long enough for a stopped copy to finish its chunk and remove its
// temporary file; short enough that quitting never feels stuck.
constexpr int kStopWaitMs = 5000;
constexpr int kCopyTickMs = 20;
constexpr int kCopyMeasureMs = 3000;

// What the copy thread of one job tells the main thread. Each job has its
// own, and the thread keeps the one it was started for, so a copy that ends
// after its job never reaches the next job's bars.
struct JobProgress {
  std::atomic<std::int64_t> sourceBytes{-1};  // the source's total; -1 until known
  std::atomic<std::int64_t> landedBytes{0};   // what the copy has written so far
  std::mutex mutex;
  std::vector<FailedElement> failed;  // what the copy could not copy, and why
};

// The window's thread alone swaps and reads it; a copy thread left running at
// exit holds its own share of its job.
std::shared_ptr<JobProgress>& currentJob() {
  static std::shared_ptr<JobProgress> job = std::make_shared<JobProgress>();
  return job;
}

void setJobGroupEnabled(bool enabled) {
  for (const int control :
       {app::kStartButton, app::kSourceChooserButton, app::kDestinationChooserButton,
        app::kSettingsButton, app::kJournalButton}) {
    platform::setEnabled(control, enabled);
  }
}

// The bytes the copy has landed against the source's total: counters the
// copy keeps, so a tick costs nothing however big the tree.
void showCopyProgress() {
  JobProgress& job = *currentJob();
  const std::int64_t source = job.sourceBytes;
  const std::int64_t landed = job.landedBytes;
  double percent = 0;
  if (source > 0) {
    // Rounded to the nearest whole number, halves to even.
    percent = std::nearbyint(static_cast<double>(landed) / static_cast<double>(source) * 100.0);
  }
  // A file that grew after the source was measured can carry the count past 100.
  percent = std::clamp(percent, 0.0, 100.0);
  platform::setProgressValue(app::kOverallProgressBar, static_cast<std::int64_t>(percent));
  platform::redrawNow(app::kOverallProgressBar);
}

// The copy thread: the source is measured first when no scan measured it
// (a source typed by hand), then copied, every byte it lands counted.
int runCopy(const std::shared_ptr<JobProgress>& job, const std::string& source,
            const std::string& target) {
  if (job->sourceBytes < 0) {
    job->sourceBytes = engine::folderTotalSize(source, "*.*");
    if (!platform::threadCheckpoint()) return 0;
  }
  return engine::copyThreadMain(
      source, target,
      [&job](const std::string& path, const engine::FailureReason& reason) {
        FailedElement element{path, failureReasonText(reason)};
        std::lock_guard lock(job->mutex);
        job->failed.push_back(std::move(element));
      },
      &job->landedBytes);
}

// The taskbar button shows the progress bar's percentage.
void showTaskbarProgress() {
  platform::setTaskbarProgress(platform::TaskbarProgress::normal,
                               static_cast<int>(std::clamp<std::int64_t>(
                                   platform::progressValue(app::kOverallProgressBar), 0, 100)));
}

void journalFailedStart() {
  settings::loadOptionFlags(app::appState().options);
  if (app::appState().options.log != 1) return;
  journal::appendJournalLine(text::upperCaseText("Erreur! La copie de [ " +
                                                 engine::jobFolderName(app::appState().jobSource) +
                                                 " ] a échouée!"));
}

std::string missingFieldText(bool sourceEmpty, bool destinationEmpty) {
  if (sourceEmpty && destinationEmpty) {
    return "Vous devez choisir un répertoire à copier et sa destination!";
  }
  if (sourceEmpty) return "Vous devez choisir un répertoire à copier!";
  return "Vous devez choisir un répertoire de destination!";
}

void journalOpeningBlock() {
  const app::AppState& state = app::appState();
  journal::ensureJournal();
  const std::string date = journal::formatDate(journal::kJobDateMask, journal::currentDate());
  journal::appendJournalLine(journalBlockHeader(engine::jobFolderName(state.jobSource)));
  journal::appendJournalLine("Démarrage de la copie le : " + date);
  journal::appendJournalLine("Emplacement original : " + state.jobSource);
  journal::appendJournalLine("Destination : " + state.jobDestinationText);
  journal::appendJournalLine("- Identification du support = " + state.volumeRootText);
  journal::appendJournalLine("- Type de partition = " + state.volumeTypeText);
  journal::appendJournalLine("- Capacité totale = " + state.volumeCapacityText);
  journal::appendJournalLine("- Espace disponible = " + state.volumeFreeText);
}

std::vector<FailedElement> failedElements() {
  JobProgress& job = *currentJob();
  std::lock_guard lock(job.mutex);
  return job.failed;
}

}  // namespace

void sweepActivityBar() {
  std::int64_t value = platform::progressValue(app::kActivityBar) + 1;
  if (value >= 100) value = 1;
  platform::setProgressValue(app::kActivityBar, value);
}

void openCopyIfAsked(const std::string& target) {
  if (app::appState().options.opencopy == 1 &&
      platform::pathInfo(target).kind == platform::PathKind::folder) {
    platform::exploreFolder(target);
  }
}

void startCopy() {
  app::AppState& state = app::appState();
  const std::string source = platform::getText(app::kSourceField);
  const std::string destination = platform::getText(app::kDestinationField);
  if (source.empty() || destination.empty()) {
    platform::messageBox("Thread error!", missingFieldText(source.empty(), destination.empty()),
                         platform::kBoxWarning);
    return;
  }
  // The job keeps its own folders: the fields stay editable during the copy,
  // but the end box, the verification and the folder opened at the end are
  // about the folders this copy used. A typed path means the folder it names
  // ("." and ".." resolved), and destination and name are joined with exactly
  // one separator, as the copy itself joins them.
  const std::string jobSource = engine::resolveTypedPath(source);
  const std::string copyTarget =
      engine::copyTargetPath(engine::resolveTypedPath(destination), jobSource);
  if (engine::resolvedFoldersOverlap(jobSource, copyTarget)) {
    platform::messageBox("Thread error!",
                         "Le dossier de destination ne peut pas se trouver dans le dossier à "
                         "copier, ni le contenir.",
                         platform::kBoxWarning);
    return;
  }
  state.jobSource = jobSource;
  state.copyTarget = copyTarget;
  state.jobDestinationText = copyTarget.substr(0, copyTarget.size() - 1);

  settings::loadOptionFlags(state.options);
  if (state.options.log == 1) journalOpeningBlock();

  currentJob() = std::make_shared<JobProgress>();
  currentJob()->sourceBytes = scannedSizeOf(state.jobSource);
  platform::startTimer(app::kMainWindow, app::kCopyTickTimer, kCopyTickMs, onCopyTick);
  app::setStatusText("Copie du dossier en cours...  Patientez durant le processus SVP");
  state.copyThread = platform::startThread(
      [job = currentJob(), source = state.jobSource, target = state.copyTarget](int) {
        return runCopy(job, source, target);
      },
      1);
  // The thread's number tells a failed start: a copy with nothing to do may
  // already have ended, and is then a finished copy for the next tick.
  if (state.copyThread != 0) {
    platform::setTaskbarProgress(platform::TaskbarProgress::normal, 0);
    platform::startTimer(app::kMainWindow, app::kCopyMeasureTimer, kCopyMeasureMs,
                         onCopyMeasureTick);
    setJobGroupEnabled(false);
    return;
  }
  platform::messageBox("Thread error!", "Le thread n'a pu se lancer", platform::kBoxError);
  app::setStatusText("La copie a échouée!");
  platform::stopTimer(app::kMainWindow, app::kCopyTickTimer);
  platform::stopTimer(app::kMainWindow, app::kCopyMeasureTimer);
  setJobGroupEnabled(true);
  journalFailedStart();
  journal::rearmWriteFailureNotice();
}

void onCopyTick() {
  if (!platform::threadRunning(app::appState().copyThread)) {
    finishCopy();
    return;
  }
  sweepActivityBar();
}

void onCopyMeasureTick() {
  if (!platform::threadRunning(app::appState().copyThread)) {
    platform::setProgressValue(app::kOverallProgressBar, 100);
    return;
  }
  showCopyProgress();
  // The button follows the bar, which moves only here.
  showTaskbarProgress();
}

std::int64_t landedByteCount() { return currentJob()->landedBytes; }

void finishCopy() {
  app::AppState& state = app::appState();
  platform::setProgressValue(app::kActivityBar, 100);
  app::setStatusText("La copie du dossier est terminée.");
  platform::stopTimer(app::kMainWindow, app::kCopyTickTimer);
  platform::stopTimer(app::kMainWindow, app::kCopyMeasureTimer);
  platform::setProgressValue(app::kOverallProgressBar, 100);

  const std::vector<FailedElement> failed = failedElements();
  platform::setTaskbarProgress(failed.empty() ? platform::TaskbarProgress::none
                                              : platform::TaskbarProgress::error);
  // The options are read once, before the box, which tells whether the
  // journal holds the rest of the list.
  settings::loadOptionFlags(state.options);
  platform::messageBox(
      "Copie", copyEndText(engine::jobFolderName(state.jobSource), failed, state.options.log == 1),
      failed.empty() ? platform::kBoxInformation : platform::kBoxWarning);
  platform::setProgressValue(app::kActivityBar, 0);
  platform::setProgressValue(app::kOverallProgressBar, 0);
  platform::setText(app::kSourceInfoLine, "");
  platform::setText(app::kDestinationInfoLine, "");
  app::setStatusText("");
  setJobGroupEnabled(true);

  if (state.options.log == 1) {
    for (const FailedElement& element : failed) {
      journal::appendJournalLine(failedElementJournalLine(element));
    }
  }
  if (state.options.verif == 1) {
    startVerification();
    return;
  }
  const int answer = platform::messageBox(
      "Vérification", "Voulez-vous effectuer une vérification de la copie?", platform::kBoxYesNo);
  if (answer == platform::kAnswerYes) {
    startVerification();
    return;
  }
  // Without a verification the job's journal lines end here.
  journal::rearmWriteFailureNotice();
  if (state.options.openlog == 1 && journal::journalExists()) app::showJournalViewer();
  openCopyIfAsked(state.copyTarget);
}

bool copyHadFailures() {
  JobProgress& job = *currentJob();
  std::lock_guard lock(job.mutex);
  return !job.failed.empty();
}

void startVerification() {
  app::AppState& state = app::appState();
  platform::setWindowEnabled(app::kMainWindow, false);
  app::setStatusText("");
  // The timer goes first: a quick verification stops it when it ends, which
  // must not come before it was started.
  platform::startTimer(app::kMainWindow, app::kVerifyTickTimer, 10, onVerifyTick);
  if (startVerificationWalks(state.jobSource, state.copyTarget)) {
    platform::setTaskbarProgress(platform::TaskbarProgress::indeterminate);
    return;
  }
  // Only the verification would enable the window again.
  platform::stopTimer(app::kMainWindow, app::kVerifyTickTimer);
  platform::setWindowEnabled(app::kMainWindow, true);
  platform::messageBox("Thread error!", "Le thread n'a pu se lancer", platform::kBoxError);
  journal::rearmWriteFailureNotice();
}

void cancelAndQuit() {
  app::AppState& state = app::appState();
  const int copyThread = state.copyThread;
  if (!platform::threadRunning(copyThread)) {
    state.currentEvent = platform::kEventClose;
    return;
  }
  platform::pauseThread(copyThread);
  platform::stopTimer(app::kMainWindow, app::kCopyTickTimer);
  platform::setTaskbarProgress(platform::TaskbarProgress::paused);
  state.cancelAnswer = platform::messageBox(
      "Tâche en cours!", "La copie est en cours, êtes vous sûr de vouloir annuler et quitter?",
      platform::kBoxYesNoCancel);
  if (state.cancelAnswer == platform::kAnswerYes) {
    journal::appendJournalLine("ANNULATION DE LA COPIE EN COURS PAR L'UTILISATEUR");
    state.currentEvent = platform::kEventClose;
    return;
  }
  platform::resumeThread(copyThread);
  showTaskbarProgress();
  platform::startTimer(app::kMainWindow, app::kCopyTickTimer, kCopyTickMs, onCopyTick);
}

void stopJobThreads() {
  app::AppState& state = app::appState();
  state.stopping = true;
  const int copyThread = state.copyThread;
  const int scanThread = state.scanThread;
  const int destinationThread = state.destinationThread;
  const bool verifying = verificationRunning();
  const int verifyThreads[] = {state.verifyThread, state.verifyCopyThread};
  // The scan uses the program's state and window too: it must not outlive them.
  if (platform::threadRunning(scanThread)) platform::stopThread(scanThread);
  platform::stopThread(destinationThread);
  if (platform::threadRunning(copyThread)) {
    platform::stopThread(copyThread);
    platform::stopTimer(app::kMainWindow, app::kCopyTickTimer);
    platform::stopTimer(app::kMainWindow, app::kCopyMeasureTimer);
  }
  if (verifying) {
    for (const int thread : verifyThreads) platform::stopThread(thread);
    platform::stopTimer(app::kMainWindow, app::kVerifyTickTimer);
  }
  platform::pumpUntil(
      [&] {
        for (const int thread :
             {copyThread, scanThread, destinationThread, verifyThreads[0], verifyThreads[1]}) {
          if (platform::threadRunning(thread)) return false;
        }
        return true;
      },
      kStopWaitMs);
}

}  // namespace copyjob
