#pragma once
// The copy job's steps that talk to the main window: the scan started when a
// source is chosen, the free-space check, and quitting with a job running.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"

namespace copyjob {

// The journal line that opens each block of a job: the folder's name framed
// by dashes.
std::string journalBlockHeader(std::string_view folderName);

// Stops and awaits a scan still running, resets the counters and starts the
// scan thread over `source`; returns at once, the window painting on.
void startScan(const std::string& source);
// Body of the scan thread: counts the elements of `source` live into the
// source information line and adds up its total size; then the UI thread sets
// sourceTotalSize, enables the window again and journals the count when the
// journal is on. A scan asked to stop ends without any of that.
int scanThreadMain(const std::string& source);

// The size of the folder `resolvedSource` (a resolved typed path) as the
// last finished scan measured it; -1 when that scan was of another folder,
// still runs, or none has finished. A source the scan measured is not walked
// again before its copy.
std::int64_t scannedSizeOf(std::string_view resolvedSource);

// After a destination was chosen, off the window's thread: asks its volume
// for the four texts of the status bar and, with the free-space option on,
// measures the source (unless the scan already has) and the destination's
// free bytes; the window takes no input meanwhile. Then, on the window's
// thread, shows the volume texts and the free-space check's figures, box,
// verdict and journal lines, and gives the window back.
void startDestinationQueries(const std::string& destination);
// The free-space check on the window's thread, as startDestinationQueries
// ends it, for tests and for a system that cannot start a thread: compares
// the source's total size with the destination's free bytes, shows both,
// warns when the space is short and journals the figures.
void checkFreeSpace();

// Control 15: checks both path fields, journals the job's opening block,
// starts the copy thread with the activity and measurement timers, and greys
// the job's controls until the copy ends.
void startCopy();
// Timer 1 (20 ms): sweeps the activity bar while the copy runs and runs
// finishCopy once the copy thread has ended.
void onCopyTick();
// Timer 3 (3 s): shows the bytes the copy has landed against the source's
// total in the overall progress bar, and its percentage on the taskbar
// button; counters the copy keeps, no walk.
void onCopyMeasureTick();
// The bytes the current job's copy has landed so far.
std::int64_t landedByteCount();
// The end of a copy: the end box (a warning with the count of elements that
// could not be copied and the first ten with their reasons, copyEndText),
// the fields' lines cleared, the job's controls enabled, one journal line
// per failed element, then the verification at once or on request.
void finishCopy();
// Whether the last copy had elements it could not copy.
bool copyHadFailures();
// Disables the main window and starts the verification thread with timer 2.
void startVerification();

// Timer 2 (10 ms): sweeps the activity bar while the verification runs.
void onVerifyTick();
// The verification on one thread: measures `source`, then its copy `target`,
// and shows both sizes; the UI thread then shows and journals the verdict,
// enables the window and opens the journal window and the copy when the
// options ask for them.
int verifyThreadMain(const std::string& source, const std::string& target);
// Starts the verification's walks of `source` and of its copy `target`, each
// on a thread of its own (verifyThread and verifyCopyThread); false when no
// thread could be started.
bool startVerificationWalks(const std::string& source, const std::string& target);
// True while either walk of the verification runs.
bool verificationRunning();

// Why an element could not be copied, in the user's words, from the one table
// of them: "accès refusé", "espace insuffisant sur la destination", ..., and
// for any other cause "erreur système " + the number.
std::string failureReasonText(const engine::FailureReason& reason);

// An element the copy could not copy: its path in the source and why, in the
// user's words (failureReasonText).
struct FailedElement {
  std::string path;
  std::string reason;
  friend bool operator==(const FailedElement&, const FailedElement&) = default;
};

// The journal's line for a failed element:
// "Echec de la copie : " + path + " (" + reason + ")".
std::string failedElementJournalLine(const FailedElement& element);

// At most this many failed elements are named in the end box.
inline constexpr std::size_t kEndBoxFailedLines = 10;
// No line of the end box's list runs past this many characters.
inline constexpr std::size_t kEndBoxLineLength = 100;

// The end box's text for the copy of the folder `folderName`: "La copie de "
// + name + " est terminée."; when elements failed, then their count, the first
// ten of them one a line as path + " : " + reason (a long path shortened in
// its middle with "..." so that no line runs past 100 characters), and for
// the rest "... et " + count + " autre(s)." (", voir le journal." in place of
// the final dot when the journal is on). The count stands after a blank line,
// as does the list, whose lines follow one another.
std::string copyEndText(const std::string& folderName, const std::vector<FailedElement>& failed,
                        bool journalOn);

// A size in mebibytes with three decimals, as the verification shows it.
std::string megabyteText(std::int64_t bytes);

// One step of the activity bar's sweep while a copy or a verification runs:
// 1 to 99, then from 1 again.
void sweepActivityBar();
// Opens the job's copied folder `target` in the shell when the options ask
// for it and the folder exists.
void openCopyIfAsked(const std::string& target);

// Control 16: pauses a running copy and asks whether to cancel it and quit;
// with no copy running, quits at once.
void cancelAndQuit();
// After the event loop: stops a scan, copy or verification that still runs and
// waits, dispatching messages, until it has cleaned up.
void stopJobThreads();

}  // namespace copyjob
