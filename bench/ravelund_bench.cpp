// The copy engine on its own, for bench/run.sh to time against the system's
// tools:
//
//   ravelund_bench copy SOURCE TARGET   copyFolderTree(SOURCE, TARGET, "*.*", 3)
//   ravelund_bench count FOLDER         countElements(0, FOLDER)
//   ravelund_bench size FOLDER          folderTotalSize(FOLDER, "*.*")
//   ravelund_bench journal FILE         seconds to read and decipher the journal FILE
//   ravelund_bench journal-window FILE  also the journal window on it: seconds until it
//                                       shows its first lines, and until it holds them all
//
// Prints the result on one line; the exit code is 0 when the command ran.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/dialogs.h"
#include "app/state.h"
#include "engine/engine.h"
#include "journal/journal.h"
#include "platform/ui.h"

namespace {

// Opens the journal window on FILE and closes it again: with `untilFull`, once
// every line is in its text area, else as soon as it shows its first lines.
double timeJournalWindow(std::size_t lines, bool untilFull) {
  std::atomic<bool> done{false};
  std::thread closer([&] {
    while (!done && !platform::windowExists(app::kJournalWindow)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (untilFull && !done) {
      const std::string text = platform::getText(app::kJournalTextArea);
      if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')) + 1 >= lines) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    // Waits in the window's queue until its loop looks at it.
    platform::postClose(app::kJournalWindow);
  });
  const auto start = std::chrono::steady_clock::now();
  app::showJournalViewer();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  done = true;
  closer.join();
  return took.count();
}

int openJournal(const char* file, bool withWindow) {
  journal::setJournalFile(file, std::string(journal::kJournalKey));
  platform::initialise();
  const auto start = std::chrono::steady_clock::now();
  const std::size_t lines = journal::readJournalLines().size();
  const std::chrono::duration<double> read = std::chrono::steady_clock::now() - start;
  std::printf("%zu lines read and deciphered in %.3f s", lines, read.count());
  if (withWindow) {
    const double shown = timeJournalWindow(lines, false);
    const double full = timeJournalWindow(lines, true);
    std::printf("; window open with its first lines in %.3f s, all lines in %.3f s", shown, full);
  }
  std::printf("\n");
  platform::releaseAll();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s copy SOURCE TARGET | count FOLDER | size FOLDER\n", argv[0]);
    return 2;
  }
  const std::string command = argv[1];
  if (command == "copy" && argc == 4) {
    std::printf("%d\n", engine::copyFolderTree(argv[2], argv[3], "*.*",
                                               engine::kRecurse | engine::kResetTargetAttributes));
    return 0;
  }
  if (command == "count") {
    std::printf("%d\n", engine::countElements(0, argv[2]));
    return 0;
  }
  if (command == "size") {
    std::printf("%lld\n", static_cast<long long>(engine::folderTotalSize(argv[2], "*.*")));
    return 0;
  }
  if (command == "journal") return openJournal(argv[2], false);
  if (command == "journal-window") return openJournal(argv[2], true);
  std::fprintf(stderr, "unknown command %s\n", argv[1]);
  return 2;
}
