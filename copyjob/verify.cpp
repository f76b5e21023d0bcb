// The verification after a copy: the source and the copied tree measured on a
// thread of their own, the verdict, the journal's closing block, and the
// journal window and copied folder when the options ask for them.
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/dialogs.h"
#include "app/state.h"
#include "app/status.h"
#include "copyjob/job.h"
#include "engine/engine.h"
#include "journal/date.h"
#include "journal/journal.h"
#include "platform/files.h"
#include "platform/taskbar.h"
#include "platform/threads.h"
#include "platform/ui.h"
#include "settings/options.h"

namespace copyjob {

std::string megabyteText(std::int64_t bytes) {
  const float megabytes = static_cast<float>(static_cast<double>(bytes) / 1024.0 / 1024.0);
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(megabytes));
  return text;
}

void onVerifyTick() {
  if (!verificationRunning()) {
    // The verification stops this timer when it ends; a verification that
    // ended before the timer started cannot have.
    platform::stopTimer(app::kMainWindow, app::kVerifyTickTimer);
    return;
  }
  sweepActivityBar();
}

namespace {

// The end of a verification, on the UI thread, in the order the user meets
// it: the verdict's box, the status line and the fields cleared, the
// journal's closing block, the window given back, then the journal window and
// the copied folder when the options ask for them.
void finishVerification(const std::string& source, const std::string& target,
                        const engine::TreeTotals& sourceTotals,
                        const engine::TreeTotals& copyTotals) {
  app::AppState& state = app::appState();
  // The program is quitting: its window and journal are not the job's any more.
  if (state.stopping) return;
  const std::string sourceText = megabyteText(sourceTotals.bytes);
  const std::string copyText = megabyteText(copyTotals.bytes);
  // The exact totals decide, not the two rounded texts: a copy a few bytes
  // short, or without an empty file or folder, is not a faithful copy, and
  // neither is the "copy" of a source that is not there.
  const bool faithful = sourceTotals.found && sourceTotals == copyTotals;
  const std::string name = engine::jobFolderName(source);
  platform::stopTimer(app::kMainWindow, app::kVerifyTickTimer);
  platform::setProgressValue(app::kActivityBar, 0);
  platform::setTaskbarProgress(faithful && !copyHadFailures() ? platform::TaskbarProgress::none
                                                              : platform::TaskbarProgress::error);
  if (faithful) {
    state.statusText.set("La copie de [ " + name + " ] s'est terminée sans erreur.");
    platform::messageBox("Contrôle", state.statusText.get(), platform::kBoxInformation);
    platform::setText(app::kSourceInfoLine, "");
    platform::setText(app::kDestinationInfoLine, "");
    app::repaintStatusLine();
  } else {
    platform::messageBox(
        "Contrôle",
        "La copie de [ " + name + " ] semble avoir rencontrée des erreurs. Vérifiez votre copie.",
        platform::kBoxWarning);
    app::setStatusText("VEUILLEZ VERIFIER VOTRE COPIE DE DOSSIER! DES ERREURS ONT ETE CONSTATEES.");
    platform::setText(app::kSourceInfoLine, "");
    platform::setText(app::kDestinationInfoLine, "");
  }
  platform::setText(app::kSourceField, "");
  platform::setText(app::kDestinationField, "");

  // The closing block is written before the window takes input again, so
  // whatever the user does next finds the job's journal complete.
  settings::loadOptionFlags(state.options);
  if (state.options.log == 1) {
    journal::appendJournalLine(journalBlockHeader(name));
    journal::appendJournalLine("Contrôle du résultat de la copie:");
    journal::appendJournalLine("   Taille dossier original : " + sourceText + " Mo");
    journal::appendJournalLine("   Taille dossier copié : " + copyText + " Mo");
    journal::appendJournalLine(state.statusText.get());
    journal::appendJournalLine("Fin du processus de copie le : " +
                               journal::formatDate(journal::kJobDateMask, journal::currentDate()));
    journal::appendJournalLine("");
  }
  journal::rearmWriteFailureNotice();
  platform::setWindowEnabled(app::kMainWindow, true);
  if (state.options.openlog == 1 && journal::journalExists()) app::showJournalViewer();
  // Closing the program while the journal window was open ends the job here.
  if (state.currentEvent == platform::kEventClose) return;
  openCopyIfAsked(target);
}

// The verification's two walks, the source's and the copy's, each on its
// own thread, so that a copy on another disk costs the longer walk, not the
// sum. Whichever ends second hands the end to the window's thread; the two
// sizes are shown in the order the user always saw them, the source's first.
struct VerifyWalks {
  std::string source;
  std::string target;
  std::mutex mutex;
  std::condition_variable decided;
  // Who walks the copy: not known yet, a thread of its own, or the source's
  // thread after the source (when no second thread could be started).
  enum class CopyWalker { unknown, ownThread, sourceThread } copyWalker = CopyWalker::unknown;
  std::optional<engine::TreeTotals> sourceTotals;
  std::optional<engine::TreeTotals> copyTotals;
  bool sourceShown = false;
  bool copyShown = false;
};

void showSizeLine(int control, const engine::TreeTotals& totals) {
  platform::postToUi([control, line = "Taille dossier : " + megabyteText(totals.bytes) + " Mo"] {
    platform::setText(control, line);
  });
}

// Records one walk's totals and posts what can be shown now, in order.
void recordWalk(VerifyWalks& walks, bool sourceWalk, const engine::TreeTotals& totals) {
  std::lock_guard lock(walks.mutex);
  (sourceWalk ? walks.sourceTotals : walks.copyTotals) = totals;
  if (walks.sourceTotals && !walks.sourceShown) {
    showSizeLine(app::kSourceInfoLine, *walks.sourceTotals);
    walks.sourceShown = true;
  }
  if (walks.copyTotals && walks.sourceShown && !walks.copyShown) {
    showSizeLine(app::kDestinationInfoLine, *walks.copyTotals);
    walks.copyShown = true;
    platform::postToUi([source = walks.source, target = walks.target,
                        sourceTotals = *walks.sourceTotals, copyTotals = *walks.copyTotals] {
      finishVerification(source, target, sourceTotals, copyTotals);
    });
  }
}

// One walk of the verification; a walk asked to stop (the program is
// quitting) records nothing: a half-measured tree proves nothing.
bool walkForVerification(VerifyWalks& walks, bool sourceWalk) {
  const engine::TreeTotals totals = engine::treeTotals(sourceWalk ? walks.source : walks.target);
  if (!platform::threadCheckpoint()) return false;
  recordWalk(walks, sourceWalk, totals);
  return true;
}

// The source's thread: the status line, the source's walk, then the copy's
// too when it has no thread of its own.
void walkSourceFirst(VerifyWalks& walks) {
  app::setStatusText("Contrôle du résultat de la copie... Patientez SVP");
  if (!walkForVerification(walks, true)) return;
  std::unique_lock lock(walks.mutex);
  walks.decided.wait(lock, [&] { return walks.copyWalker != VerifyWalks::CopyWalker::unknown; });
  if (walks.copyWalker != VerifyWalks::CopyWalker::sourceThread) return;
  lock.unlock();
  walkForVerification(walks, false);
}

void decideCopyWalker(VerifyWalks& walks, VerifyWalks::CopyWalker walker) {
  {
    std::lock_guard lock(walks.mutex);
    walks.copyWalker = walker;
  }
  walks.decided.notify_all();
}

}  // namespace

int verifyThreadMain(const std::string& source, const std::string& target) {
  VerifyWalks walks;
  walks.source = source;
  walks.target = target;
  walks.copyWalker = VerifyWalks::CopyWalker::sourceThread;
  walkSourceFirst(walks);
  return 0;
}

bool startVerificationWalks(const std::string& source, const std::string& target) {
  app::AppState& state = app::appState();
  auto walks = std::make_shared<VerifyWalks>();
  walks->source = source;
  walks->target = target;
  state.verifyCopyThread = 0;
  state.verifyThread = platform::startThread(
      [walks](int) {
        walkSourceFirst(*walks);
        return 0;
      },
      0);
  if (state.verifyThread == 0) return false;
  state.verifyCopyThread = platform::startThread(
      [walks](int) {
        walkForVerification(*walks, false);
        return 0;
      },
      0);
  decideCopyWalker(*walks, state.verifyCopyThread != 0 ? VerifyWalks::CopyWalker::ownThread
                                                       : VerifyWalks::CopyWalker::sourceThread);
  return true;
}

bool verificationRunning() {
  const app::AppState& state = app::appState();
  return platform::threadRunning(state.verifyThread) ||
         platform::threadRunning(state.verifyCopyThread);
}

}  // namespace copyjob
