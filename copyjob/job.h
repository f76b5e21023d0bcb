#pragma once
// The copy job's steps that talk to the main window: the scan started when a
// source is chosen, the free-space check, and quitting with a job running.
#include <string>
#include <string_view>

namespace copyjob {

// The journal line that opens each block of a job: the folder's name framed
// by dashes.
std::string journalBlockHeader(std::string_view folderName);

// Resets the counters, starts the scan thread over `source` and, meanwhile,
// adds up the source's total size on the calling thread.
void startScan(const std::string& source);
// Body of the scan thread: counts the elements of `source` live into the
// source information line, then journals the count when the journal is on.
int scanThreadMain(const std::string& source);

// Compares the source's total size with the destination's free bytes, shows
// both, warns when the space is short and journals the figures.
void checkFreeSpace();

// Control 16: pauses a running copy and asks whether to cancel it and quit;
// with no copy running, quits at once.
void cancelAndQuit();
// After the event loop: stops a copy or verification that still runs and
// waits, dispatching messages, until it has cleaned up.
void stopJobThreads();

}  // namespace copyjob
