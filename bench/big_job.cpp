// A whole job through the program's window, natively (headless windowing),
// for bench/big_job.sh: the source chosen (its scan), "Démarrer" (the copy),
// then the verification, with the window probed all the while.
//
//   ravelund_big_job SOURCE DESTINATION
//
// Every 20 ms of the virtual clock the probe moves the window and times how
// long its thread takes to have handled that and the due timers; once in the
// middle of the copy it presses "Annuler" (answered "Non") and times the
// question. Prints, per phase, its length, the longest and the median answer,
// and the resident memory at its end; then the peak resident memory.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "app/state.h"
#include "platform/headless/headless.h"
#include "platform/threads.h"
#include "platform/ui.h"

namespace {

namespace hl = platform::headless;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

long residentMiB() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib / 1024;
    }
  }
  return -1;
}

std::size_t boxCount(const std::string& caption) {
  std::size_t count = 0;
  for (const auto& box : hl::boxes()) count += box.caption == caption ? 1 : 0;
  return count;
}

struct Phase {
  explicit Phase(const char* phaseName) : name(phaseName) {}
  const char* name;
  std::vector<double> answers;  // seconds
  double seconds = 0;
  long residentAtEnd = 0;
};

// Probes the window until `ended` says the phase is over.
template <typename Ended>
bool probe(Phase& phase, Ended ended, double timeoutSeconds = 3600) {
  const auto start = Clock::now();
  while (!ended()) {
    if (since(start) > timeoutSeconds) return false;
    const auto asked = Clock::now();
    hl::moveWindow(app::kMainWindow);
    hl::advanceTime(20);
    if (!hl::waitIdle(60000)) return false;
    phase.answers.push_back(since(asked));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  phase.seconds = since(start);
  phase.residentAtEnd = residentMiB();
  return true;
}

void print(const Phase& phase) {
  std::vector<double> sorted = phase.answers;
  std::sort(sorted.begin(), sorted.end());
  const double longest = sorted.empty() ? 0 : sorted.back();
  const double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
  std::printf(
      "%-8s %9.2f s   window answered %6zu times: longest %7.1f ms, median %5.1f ms;"
      "  resident %ld MiB\n",
      phase.name, phase.seconds, sorted.size(), longest * 1000, median * 1000, phase.residentAtEnd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SOURCE DESTINATION\n", argv[0]);
    return 2;
  }
  const std::string source = argv[1];
  const std::string destination = argv[2];
  hl::startProgram([] { app::runProgram(); });
  if (!hl::waitIdle()) return 1;
  const long residentAtStart = residentMiB();

  Phase scan{"scan"};
  hl::answerNextChooser(source);
  hl::pressControl(app::kSourceChooserButton);
  if (!hl::waitIdle()) return 1;
  if (!probe(scan, [] {
        return !platform::threadRunning(app::appState().scanThread) &&
               hl::window(app::kMainWindow).enabled;
      })) {
    return 1;
  }

  Phase copy{"copy"};
  double cancelQuestion = -1;
  hl::typeText(app::kDestinationField, destination);
  // The settings file (written by bench/big_job.sh) asks for the verification
  // and the journal, so no box but the question below needs an answer.
  hl::pressControl(app::kStartButton);
  if (!hl::waitIdle()) return 1;
  const auto copyStart = Clock::now();
  if (!probe(copy, [&] {
        if (cancelQuestion < 0 && since(copyStart) > 2 &&
            platform::threadRunning(app::appState().copyThread)) {
          hl::answerNextBox(platform::kAnswerNo);  // go on with the copy
          const auto asked = Clock::now();
          hl::pressControl(app::kCancelButton);
          while (boxCount("Tâche en cours!") == 0 && since(asked) < 60) {
            std::this_thread::yield();
          }
          cancelQuestion = since(asked);
          hl::waitIdle();
        }
        return boxCount("Copie") > 0 && !platform::threadRunning(app::appState().copyThread);
      })) {
    return 1;
  }

  Phase verify{"verify"};
  if (!probe(verify, [] {
        return boxCount("Contrôle") > 0 && !platform::threadRunning(app::appState().verifyThread);
      })) {
    return 1;
  }

  std::printf("resident at start %ld MiB\n", residentAtStart);
  print(scan);
  print(copy);
  print(verify);
  if (cancelQuestion >= 0) {
    std::printf("\"Annuler\" during the copy: question shown after %.1f ms\n",
                cancelQuestion * 1000);
  }
  for (const auto& box : hl::boxes()) {
    std::printf("box: %s: %s\n", box.caption.c_str(), box.text.c_str());
  }
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident %ld MiB\n", usage.ru_maxrss / 1024);

  platform::postClose(app::kMainWindow);
  hl::waitProgramEnd();
  return 0;
}
