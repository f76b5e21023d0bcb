// Whole jobs of the real ravelund.exe under faults, worked from outside as a
// user would: a destination volume that fills up, a destination that goes
// away during the copy, and the program killed in the middle of a job and
// started again. The small volume is the 1 MiB tmpfs CTest shows as drive R:
// (mounting it needs root; without it that test skips and says why).
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "copyjob/job.h"
#include "journal/journal.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/journal_lines.h"

namespace {

using e2e::findWindowOf;
using e2e::journalLines;
using e2e::profileFolder;
using e2e::readBytes;
using e2e::snapshot;
using e2e::textOf;
using e2e::utf8;
using e2e::waitFor;
using e2e::widen;
using e2e::writeBytes;

namespace fs = std::filesystem;

// The program this driver was given: its first argument.
std::wstring programToRun() { return __argc >= 2 && __wargv != nullptr ? __wargv[1] : L""; }

// Bytes that differ along the file and from one file to the next.
std::string patterned(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned value = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    value = value * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(value >> 24);
  }
  return bytes;
}

std::map<std::wstring, std::string> filesBelow(const fs::path& root) {
  std::map<std::wstring, std::string> files;
  std::error_code ignored;
  if (!fs::exists(root, ignored)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), root).wstring()] = readBytes(entry.path());
    }
  }
  return files;
}

bool isTemporaryName(const std::wstring& name) {
  return name.size() == 30 && name.rfind(L"~ravelund-", 0) == 0 &&
         name.compare(26, 4, L".tmp") == 0;
}

std::vector<fs::path> temporaryFilesBelow(const fs::path& root) {
  std::vector<fs::path> found;
  std::error_code ignored;
  if (!fs::exists(root, ignored)) return found;
  for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
    if (isTemporaryName(entry.path().filename().wstring())) found.push_back(entry.path());
  }
  return found;
}

// The elements the journal names as not copied, each line being
// "Echec de la copie : " + path + " (" + reason + ")".
std::vector<copyjob::FailedElement> journalledElements(const fs::path& file) {
  const std::string prefix = "Echec de la copie : ";
  std::vector<copyjob::FailedElement> failed;
  for (const auto& line : journalLines(file)) {
    if (line.rfind(prefix, 0) != 0) continue;
    const std::string rest = line.substr(prefix.size());
    const std::size_t open = rest.rfind(" (");
    if (open == std::string::npos || rest.back() != ')') {
      ADD_FAILURE() << "no reason in: " << line;
      continue;
    }
    failed.push_back({rest.substr(0, open), rest.substr(open + 2, rest.size() - open - 3)});
  }
  return failed;
}

std::vector<std::string> journalledFailures(const fs::path& file) {
  std::vector<std::string> failed;
  for (const auto& element : journalledElements(file)) failed.push_back(element.path);
  return failed;
}

// One job's folders and settings (the journal and the verification on), and
// the program, which a test may kill and start again.
class FaultJob : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = programToRun();
    ASSERT_FALSE(program_.empty());
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = fs::path(temp) / ("ravelund-faults-" + std::to_string(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    source_ = root_ / L"Photos";
    fs::create_directories(source_);
    settings_ = profileFolder() / L"ravelund.ini";
    journal_ = profileFolder() / L"ravelundlog.ini";
    fs::remove(journal_, ignored);
    writeBytes(settings_,
               "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
  }

  void TearDown() override {
    stop();
    std::error_code ignored;
    fs::remove(settings_, ignored);
    fs::remove(journal_, ignored);
    fs::remove_all(root_, ignored);
  }

  void start() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + program_ + L"\"";
    ASSERT_TRUE(CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process_))
        << "error " << GetLastError();
    window_ =
        waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, e2e::kMainWindowTitle); });
    ASSERT_NE(window_, nullptr) << "the main window never appeared";
    bar_ = e2e::waitForCommandBar(window_);
    ASSERT_NE(bar_, nullptr);
  }

  // Kills the program where it stands, as the task manager would.
  void stop() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }

  void startJob(const fs::path& destination) {
    e2e::typeFolder(window_, 5, source_);
    e2e::typeFolder(window_, 7, destination);
    PostMessageW(GetDlgItem(bar_, 15), BM_CLICK, 0, 0);
  }

  HWND waitForBox(const char* caption, int timeoutMs = e2e::kHangCeilingMs) {
    return e2e::waitForBox(process_.dwProcessId, widen(caption), timeoutMs);
  }

  // Waits for the box, reads its text and presses OK.
  struct Box {
    bool shown = false;
    std::wstring text;
  };
  Box answerBox(const char* caption, int timeoutMs = e2e::kHangCeilingMs) {
    Box box;
    HWND hwnd = waitForBox(caption, timeoutMs);
    if (!hwnd) return box;
    box.shown = true;
    box.text = e2e::answer(hwnd, IDOK);
    return box;
  }

  bool windowUsable() {
    return waitFor(
               [&] {
                 return IsWindowEnabled(window_) && IsWindowEnabled(GetDlgItem(bar_, 15)) ? window_
                                                                                          : nullptr;
               },
               e2e::kHangCeilingMs) != nullptr;
  }

  // The end box for these failed elements (the journal is on).
  static std::wstring endText(const std::vector<copyjob::FailedElement>& failed) {
    return widen(copyjob::copyEndText("Photos", failed, true));
  }

  std::wstring program_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
  fs::path root_, source_, settings_, journal_;
};

const std::wstring kGoodVerdict = widen("La copie de [ Photos ] s'est terminée sans erreur.");
const std::wstring kBadVerdict =
    widen("La copie de [ Photos ] semble avoir rencontrée des erreurs. Vérifiez votre copie.");

// ---- A destination that fills up --------------------------------------------------------

// The small volume, or "" when CTest could not mount it.
fs::path smallVolume() {
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(L"R:\\", &available, &total, nullptr) ||
      total.QuadPart > (ULONGLONG{4} << 20)) {
    return {};
  }
  return L"R:\\";
}

TEST_F(FaultJob, AFullDestinationVolumeFailsTheFileThatDoesNotFitAndKeepsItsEarlierCopy) {
  const fs::path volume = smallVolume();
  if (volume.empty()) {
    GTEST_SKIP() << "no small volume as drive R: (CTest mounts a tmpfs, which needs root)";
  }
  const fs::path destination = volume / ("e2e-" + std::to_string(GetCurrentProcessId()));
  const fs::path target = destination / L"Photos";
  fs::create_directories(target);
  writeBytes(target / L"grand.bin", "copie précédente");
  writeBytes(source_ / L"grand.bin", patterned(3 << 20, 1));
  fs::create_directory(source_ / L"petits");
  for (unsigned i = 0; i < 8; ++i) {
    writeBytes(source_ / L"petits" / ("p" + std::to_string(i)), patterned(20000, 10 + i));
  }
  start();
  startJob(destination);
  const Box done = answerBox("Copie");
  ASSERT_TRUE(done.shown) << "no end-of-copy box";
  const std::string grand = utf8(source_ / L"grand.bin");
  EXPECT_EQ(done.text, endText({{grand, "espace insuffisant sur la destination"}}));
  const Box verdict = answerBox("Contrôle");
  ASSERT_TRUE(verdict.shown) << "no verdict";
  EXPECT_EQ(verdict.text, kBadVerdict);
  EXPECT_TRUE(windowUsable());

  const auto lines = journalLines(journal_);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Echec de la copie : " + grand + " (espace insuffisant sur la destination)"),
            lines.end());
  EXPECT_EQ(journalledFailures(journal_), std::vector<std::string>{grand});
  EXPECT_EQ(readBytes(target / L"grand.bin"), "copie précédente");
  for (unsigned i = 0; i < 8; ++i) {
    EXPECT_EQ(readBytes(target / L"petits" / ("p" + std::to_string(i))), patterned(20000, 10 + i));
  }
  EXPECT_TRUE(temporaryFilesBelow(destination).empty());
  stop();
  std::error_code ignored;
  fs::remove_all(destination, ignored);
}

// ---- A destination that goes away -------------------------------------------------------

TEST_F(FaultJob, ADestinationMovedAwayDuringTheCopyEndsItWithinSecondsAndTheNextJobRuns) {
  constexpr int kFolders = 40;
  constexpr int kFiles = 60;
  for (int folder = 0; folder < kFolders; ++folder) {
    const fs::path sub = source_ / ("d" + std::to_string(folder));
    fs::create_directory(sub);
    for (int i = 0; i < kFiles; ++i) writeBytes(sub / ("f" + std::to_string(i)), "petit fichier");
  }
  const fs::path destination = root_ / L"Sauvegardes";
  const fs::path target = destination / L"Photos";
  fs::create_directories(destination);
  start();
  startJob(destination);
  ASSERT_TRUE(
      waitFor([&] { return fs::exists(target / L"d3") ? window_ : nullptr; }, e2e::kHangCeilingMs))
      << "the copy never reached its fourth folder";
  const fs::path moved = root_ / L"Ailleurs";
  bool wasMoved = false;
  for (int i = 0; i < 500 && !wasMoved; ++i) {
    wasMoved = MoveFileW(target.c_str(), moved.c_str()) != 0;
    if (!wasMoved) Sleep(1);
  }
  ASSERT_TRUE(wasMoved) << "error " << GetLastError();
  const ULONGLONG movedAt = GetTickCount64();
  HWND doneBox = waitForBox("Copie", e2e::kHangCeilingMs);
  ASSERT_NE(doneBox, nullptr) << "no end-of-copy box";
  // The rest of the copy (well over half of 2,400 files) would take longer.
  const ULONGLONG endedIn = GetTickCount64() - movedAt;
  std::printf("the copy ended %llu ms after its destination was moved away\n",
              static_cast<unsigned long long>(endedIn));
  EXPECT_LT(endedIn, 5000u);
  const Box done = answerBox("Copie");
  const Box verdict = answerBox("Contrôle");
  ASSERT_TRUE(verdict.shown) << "no verdict";
  EXPECT_EQ(verdict.text, kBadVerdict);
  EXPECT_TRUE(windowUsable());

  const auto failed = journalledFailures(journal_);
  ASSERT_FALSE(failed.empty());
  EXPECT_EQ(done.text, endText(journalledElements(journal_)));
  for (const auto& element : journalledElements(journal_)) {
    EXPECT_EQ(element.reason, "destination disparue") << element.path;
  }
  // What was left of one folder and the folders still waiting, each once.
  EXPECT_LE(failed.size(), static_cast<std::size_t>(kFiles + kFolders));
  EXPECT_EQ(std::set<std::string>(failed.begin(), failed.end()).size(), failed.size());
  // The one file in flight may leave its temporary file in the moved folder:
  // Wine removes a file by the name it was opened under, which the move
  // changed (Windows refuses to move a folder while a file in it is open).
  // The next copy into that folder clears it.
  EXPECT_LE(temporaryFilesBelow(moved).size(), 1u);
  EXPECT_FALSE(fs::exists(target));

  // The program goes on: the next job, into a destination that is there.
  const fs::path other = root_ / L"Autre";
  fs::create_directories(other);
  startJob(other);
  const Box nextDone = answerBox("Copie");
  ASSERT_TRUE(nextDone.shown);
  EXPECT_EQ(nextDone.text, endText({}));
  EXPECT_EQ(answerBox("Contrôle").text, kGoodVerdict);
  EXPECT_EQ(filesBelow(other / L"Photos"), filesBelow(source_));
}

// ---- The program killed in the middle of a job ---------------------------------------------

TEST_F(FaultJob, KilledDuringALargeFileOrManySmallOnesTheSameJobThenCompletes) {
  struct Case {
    const char* what;
    std::function<void()> makeSource;
    std::function<bool(const fs::path&)> caught;  // the moment to kill, seen in the target
  };
  const Case cases[] = {
      {"a large file",
       [&] { writeBytes(source_ / L"grand.bin", patterned(std::size_t{400} << 20, 2)); },
       // In the middle of the large file, not of the small one beside it,
       // whose temporary file lives for a moment only.
       [](const fs::path& target) {
         for (const auto& temporary : temporaryFilesBelow(target)) {
           std::error_code ignored;
           if (fs::file_size(temporary, ignored) >= (std::uintmax_t{1} << 20)) return true;
         }
         return false;
       }},
      {"many small files",
       [&] {
         for (unsigned i = 0; i < 3000; ++i) {
           writeBytes(source_ / ("f" + std::to_string(i)), patterned(2000, 100 + i));
         }
       },
       [](const fs::path& target) {
         std::error_code ignored;
         std::size_t arrived = 0;
         for (auto it = fs::directory_iterator(target, ignored); it != fs::directory_iterator();
              it.increment(ignored)) {
           ++arrived;
         }
         return arrived >= 300;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ignored;
    fs::remove_all(source_, ignored);
    fs::create_directories(source_);
    c.makeSource();
    const fs::path destination = root_ / L"Sauvegardes";
    const fs::path target = destination / L"Photos";
    fs::remove_all(destination, ignored);
    fs::create_directories(target);
    // An earlier good copy of a file of the job, which must survive the kill.
    writeBytes(source_ / L"ancien.txt", "nouvelle version");
    writeBytes(target / L"ancien.txt", "copie précédente");
    if (fs::exists(source_ / L"grand.bin")) writeBytes(target / L"grand.bin", "copie précédente");

    start();
    startJob(destination);
    const bool caught =
        waitFor([&] { return c.caught(target) ? window_ : nullptr; }, e2e::kHangCeilingMs);
    stop();
    ASSERT_TRUE(caught) << "the copy was never caught in the middle";
    if (fs::exists(source_ / L"grand.bin")) {
      // Killed in the middle of it: its temporary file stays behind for the
      // next job to clear, and the earlier copy is whole and untouched.
      EXPECT_EQ(temporaryFilesBelow(target).size(), 1u);
      EXPECT_EQ(readBytes(target / L"grand.bin"), "copie précédente");
    }
    const std::string earlierOld = readBytes(target / L"ancien.txt");
    EXPECT_TRUE(earlierOld == "copie précédente" || earlierOld == "nouvelle version");

    start();
    startJob(destination);
    const Box done = answerBox("Copie", 120000);
    ASSERT_TRUE(done.shown);
    EXPECT_EQ(done.text, endText({}));
    EXPECT_EQ(answerBox("Contrôle", 120000).text, kGoodVerdict);
    EXPECT_TRUE(windowUsable());
    stop();
    EXPECT_TRUE(temporaryFilesBelow(destination).empty());
    EXPECT_TRUE(filesBelow(target) == filesBelow(source_));
    fs::remove(journal_, ignored);
  }
}

}  // namespace
