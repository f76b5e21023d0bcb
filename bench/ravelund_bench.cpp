// The copy engine on its own, for bench/run.sh to time against the system's
// tools:
//
//   ravelund_bench copy SOURCE TARGET   copyFolderTree(SOURCE, TARGET, "*.*", 3)
//   ravelund_bench count FOLDER         countElements(0, FOLDER)
//   ravelund_bench size FOLDER          folderTotalSize(FOLDER, "*.*")
//   ravelund_bench journal FILE         the journal window filled from FILE, then closed:
//                                       prints the seconds it took and the lines shown
//
// Prints the result on one line; the exit code is 0 when the command ran.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/state.h"
#include "copyjob/copyjob.h"
#include "journal/journal.h"
#include "platform/ui.h"

namespace {

int openJournal(const char* file) {
  app::AppState& state = app::appState();
  state.journalPath = file;
  state.journalKey = std::string(journal::kJournalKey);
  platform::initialise();
  // Closes the window as soon as it exists: the close waits in its queue
  // until the window has been filled and its loop runs.
  std::atomic<bool> done{false};
  std::thread closer([&] {
    while (!done && !platform::windowExists(app::kJournalWindow)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    platform::postClose(app::kJournalWindow);
  });
  const auto start = std::chrono::steady_clock::now();
  journal::showJournalViewer();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  done = true;
  closer.join();
  std::printf("%.3f s, %zu lines\n", took.count(), journal::readJournalLines().size());
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
    std::printf("%d\n",
                copyjob::copyFolderTree(argv[2], argv[3], "*.*",
                                        copyjob::kRecurse | copyjob::kResetTargetAttributes));
    return 0;
  }
  if (command == "count") {
    std::printf("%d\n", copyjob::countElements(0, argv[2]));
    return 0;
  }
  if (command == "size") {
    std::printf("%lld\n", static_cast<long long>(copyjob::folderTotalSize(argv[2], "*.*")));
    return 0;
  }
  if (command == "journal") return openJournal(argv[2]);
  std::fprintf(stderr, "unknown command %s\n", argv[1]);
  return 2;
}
