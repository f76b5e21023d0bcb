// The verification after a copy: the source and the copied tree measured on a
// thread of their own, the verdict, the journal's closing block, and the
// journal window and copied folder when the options ask for them.
#include <cstdio>
#include <string>

#include "app/state.h"
#include "app/status.h"
#include "copyjob/copyjob.h"
#include "copyjob/job.h"
#include "journal/journal.h"
#include "platform/files.h"
#include "platform/taskbar.h"
#include "platform/threads.h"
#include "platform/ui.h"
#include "settings/settings.h"

namespace copyjob {

std::string megabyteText(std::int64_t bytes) {
  const float megabytes = static_cast<float>(static_cast<double>(bytes) / 1024.0 / 1024.0);
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(megabytes));
  return text;
}

void onVerifyTick() {
  if (!platform::threadRunning(app::appState().verifyThread)) {
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
                        const TreeTotals& sourceTotals, const TreeTotals& copyTotals) {
  app::AppState& state = app::appState();
  // The program is quitting: its window and journal are not the job's any more.
  if (state.stopping) return;
  const std::string sourceText = megabyteText(sourceTotals.bytes);
  const std::string copyText = megabyteText(copyTotals.bytes);
  // The exact totals decide, not the two rounded texts: a copy a few bytes
  // short, or without an empty file or folder, is not a faithful copy, and
  // neither is the "copy" of a source that is not there.
  const bool faithful = sourceTotals.found && sourceTotals == copyTotals;
  const std::string name = jobFolderName(source);
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
  if (state.options.openlog == 1 && journal::journalExists()) journal::showJournalViewer();
  // Closing the program while the journal window was open ends the job here.
  if (state.currentEvent == platform::kEventClose) return;
  openCopyIfAsked(target);
}

}  // namespace

int verifyThreadMain(const std::string& source, const std::string& target) {
  app::setStatusText("Contrôle du résultat de la copie... Patientez SVP");
  const TreeTotals sourceTotals = treeTotals(source);
  platform::postToUi([line = "Taille dossier : " + megabyteText(sourceTotals.bytes) + " Mo"] {
    platform::setText(app::kSourceInfoLine, line);
  });
  const TreeTotals copyTotals = treeTotals(target);
  platform::postToUi([line = "Taille dossier : " + megabyteText(copyTotals.bytes) + " Mo"] {
    platform::setText(app::kDestinationInfoLine, line);
  });
  // Asked to stop (the program is quitting): half-measured trees prove nothing.
  if (!platform::threadCheckpoint()) return 0;
  platform::postToUi([source, target, sourceTotals, copyTotals] {
    finishVerification(source, target, sourceTotals, copyTotals);
  });
  return 0;
}

}  // namespace copyjob
