#pragma once
// The copy job's steps that talk to the main window: the scan started when a
// source is chosen, the free-space check, and quitting with a job running.
#include <string>
#include <string_view>

namespace copyjob {

// The journal line that opens each block of a job: the folder's name framed
// by dashes.
std::string journalBlockHeader(std::string_view folderName);

// Stops and awaits a scan still running, resets the counters and starts the
// scan thread over `source`; returns at once, the window painting on.
void startScan(const std::string& source);
// Body of the scan thread: counts the elements of `source` live into the
// source information line, adds up its total size, sets sourceTotalSize when
// both walks are done, enables the window again and journals the count it
// found when the journal is on. A scan asked to stop ends without any of that.
int scanThreadMain(const std::string& source);

// Compares the source's total size with the destination's free bytes, shows
// both, warns when the space is short and journals the figures.
void checkFreeSpace();

// Control 16: pauses a running copy and asks whether to cancel it and quit;
// with no copy running, quits at once.
void cancelAndQuit();
// After the event loop: stops a scan, copy or verification that still runs and
// waits, dispatching messages, until it has cleaned up.
void stopJobThreads();

}  // namespace copyjob
