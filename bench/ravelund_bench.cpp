// The copy engine on its own, for bench/run.sh to time against the system's
// tools:
//
//   ravelund_bench copy SOURCE TARGET   copyFolderTree(SOURCE, TARGET, "*.*", 3)
//   ravelund_bench count FOLDER         countElements(0, FOLDER)
//   ravelund_bench size FOLDER          folderTotalSize(FOLDER, "*.*")
//
// Prints the result on one line; the exit code is 0 when the command ran.
#include <cstdio>
#include <string>

#include "copyjob/copyjob.h"

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
  std::fprintf(stderr, "unknown command %s\n", argv[1]);
  return 2;
}
