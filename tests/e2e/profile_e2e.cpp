// The real ravelund.exe with its profile folder's files out of reach: the
// journal or the settings file held open without sharing by another program,
// a folder in the place of either, a read-only settings file, and no profile
// folder at all. Each job runs to its verdict; what could not be written is
// told, and the files keep what they held.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/journal_lines.h"

namespace {

using e2e::answer;
using e2e::findWindowOf;
using e2e::journalLines;
using e2e::journalRecord;
using e2e::profileFolder;
using e2e::readBytes;
using e2e::snapshot;
using e2e::textOf;
using e2e::waitFor;
using e2e::widen;
using e2e::writeBytes;

namespace fs = std::filesystem;

constexpr char kJournalFailure[] = "Le journal n'a pu être écrit!";
constexpr char kSaveFailure[] = "Les préférences n'ont pu être enregistrées!";

// Another program's handle on a file that shares nothing with anyone.
class HeldFile {
 public:
  explicit HeldFile(const fs::path& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldFile() {
    if (held()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class ProfileJob : public ::testing::Test {
 protected:
  void SetUp() override {
    // Outside the profile folder, which one case moves away.
    root_ = fs::path(L"C:\\") / ("ravelund-profile-e2e-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    source_ = root_ / L"Été 2026";
    destination_ = root_ / L"Sauvegardes";
    fs::create_directories(source_ / L"plage");
    fs::create_directories(destination_);
    current_ = root_ / L"dossier courant";
    fs::create_directories(current_);
    writeBytes(source_ / L"mer.jpg", std::string(300000, 'm'));
    writeBytes(source_ / L"vide.txt", "");
    writeBytes(source_ / L"plage" / L"château.png", std::string(5000, 'c'));
    settings_ = profileFolder() / L"ravelund.ini";
    journal_ = profileFolder() / L"ravelundlog.ini";
    removeEntry(settings_);
    removeEntry(journal_);
    writeBytes(settings_,
               "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
  }

  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
      }
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    removeEntry(settings_);
    removeEntry(journal_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  static void removeEntry(const fs::path& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }

  void startTheProgram() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::wstring program = __wargv[1];
    std::wstring commandLine = L"\"" + program + L"\"";
    // A current folder of its own: without a profile folder, the files go there.
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, current_.c_str(), &startup, &process_))
        << "error " << GetLastError();
    window_ =
        waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, e2e::kMainWindowTitle); });
    ASSERT_NE(window_, nullptr) << "the main window never appeared";
    bar_ = e2e::waitForCommandBar(window_);
    ASSERT_NE(bar_, nullptr);
  }

  void click(int control) { PostMessageW(GetDlgItem(bar_, control), BM_CLICK, 0, 0); }

  HWND waitForBox(const char* caption, int timeoutMs = e2e::kHangCeilingMs) {
    return e2e::waitForBox(process_.dwProcessId, widen(caption), timeoutMs);
  }

  // "Démarrer", then every box to the verdict, answered; the captions and
  // texts of the boxes in the order they came.
  std::vector<std::pair<std::wstring, std::wstring>> runAJobToItsVerdict() {
    e2e::typeFolder(window_, 5, source_);
    e2e::typeFolder(window_, 7, destination_);
    click(15);
    std::vector<std::pair<std::wstring, std::wstring>> seen;
    const std::vector<std::wstring> captions = {widen("Erreur!"), widen("Copie"),
                                                widen("Vérification"), widen("Contrôle")};
    for (int step = 0; step < 8; ++step) {
      HWND box = nullptr;
      std::wstring caption;
      waitFor(
          [&] {
            for (const auto& c : captions) {
              if ((box = findWindowOf(process_.dwProcessId, L"#32770", c))) {
                caption = c;
                return box;
              }
            }
            return static_cast<HWND>(nullptr);
          },
          e2e::kHangCeilingMs);
      if (!box) break;
      const bool question = caption == widen("Vérification");
      seen.emplace_back(caption, answer(box, question ? IDYES : IDOK));
      if (caption == widen("Contrôle")) break;
    }
    waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs);
    return seen;
  }

  int journalFailures(const std::vector<std::pair<std::wstring, std::wstring>>& boxes) {
    int count = 0;
    for (const auto& [caption, text] : boxes) {
      if (caption == widen("Erreur!") && text == widen(kJournalFailure)) ++count;
    }
    return count;
  }

  void expectAGoodCopy(const std::vector<std::pair<std::wstring, std::wstring>>& boxes) {
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().first, widen("Contrôle"));
    EXPECT_EQ(boxes.back().second, widen("La copie de [ Été 2026 ] s'est terminée sans erreur."));
    EXPECT_EQ(snapshot(destination_ / L"Été 2026"), snapshot(source_));
  }

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
  fs::path root_, source_, destination_, current_, settings_, journal_;
};

TEST_F(ProfileJob, AJournalHeldOpenByAnotherProgramIsToldOnceAndKeptWhole) {
  const std::string held =
      journalRecord("Journal créé le : 01 - 01 - 2026 à 00:00:00") + journalRecord("");
  writeBytes(journal_, held);
  auto other = std::make_unique<HeldFile>(journal_);
  ASSERT_TRUE(other->held());
  startTheProgram();
  const auto boxes = runAJobToItsVerdict();
  expectAGoodCopy(boxes);
  EXPECT_EQ(journalFailures(boxes), 1);
  // The box came before the copy: the journal's opening block is the job's first step.
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].first, widen("Erreur!"));
  PostMessageW(window_, WM_CLOSE, 0, 0);
  WaitForSingleObject(process_.hProcess, 10000);
  other.reset();
  EXPECT_EQ(readBytes(journal_), held);
}

TEST_F(ProfileJob, AFolderInThePlaceOfTheJournalIsToldOnceAndLeftAlone) {
  fs::create_directory(journal_);
  writeBytes(journal_ / L"dedans.txt", "dedans");
  startTheProgram();
  const auto boxes = runAJobToItsVerdict();
  expectAGoodCopy(boxes);
  EXPECT_EQ(journalFailures(boxes), 1);
  // A second job is told again, once.
  fs::remove_all(destination_ / L"Été 2026");
  const auto again = runAJobToItsVerdict();
  expectAGoodCopy(again);
  EXPECT_EQ(journalFailures(again), 1);
  EXPECT_EQ(snapshot(journal_), (std::map<std::wstring, std::string>{{L"dedans.txt", "dedans"}}));
}

TEST_F(ProfileJob, ASettingsFileThatCannotBeReplacedKeepsItsOptionsAndTheSaveIsTold) {
  const std::string held = readBytes(settings_);
  enum class Fault { heldOpen, readOnly, folder };
  for (const Fault fault : {Fault::heldOpen, Fault::readOnly, Fault::folder}) {
    SCOPED_TRACE(fault == Fault::heldOpen   ? "held open"
                 : fault == Fault::readOnly ? "read-only"
                                            : "a folder");
    removeEntry(settings_);
    removeEntry(journal_);
    if (fault == Fault::folder) {
      fs::create_directory(settings_);
    } else {
      writeBytes(settings_, held);
    }
    if (fault == Fault::readOnly) SetFileAttributesW(settings_.c_str(), FILE_ATTRIBUTE_READONLY);
    std::unique_ptr<HeldFile> other;
    if (fault == Fault::heldOpen) {
      other = std::make_unique<HeldFile>(settings_);
      ASSERT_TRUE(other->held());
    }
    startTheProgram();

    click(17);
    const std::wstring title = widen("Ravelund Préférences");
    HWND preferences = waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, title); });
    ASSERT_NE(preferences, nullptr);
    HWND openCopy = waitFor([&] { return GetDlgItem(preferences, 35); });
    ASSERT_NE(openCopy, nullptr);
    // A read-only file is read; one held without sharing, or a folder, cannot be.
    EXPECT_EQ(SendMessageW(GetDlgItem(preferences, 34), BM_GETCHECK, 0, 0),
              fault == Fault::readOnly ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(openCopy, BM_CLICK, 0, 0);
    HWND save = waitFor([&] { return GetDlgItem(GetDlgItem(preferences, 38), 39); });
    ASSERT_NE(save, nullptr);
    PostMessageW(save, BM_CLICK, 0, 0);
    HWND box = waitForBox("Erreur!", e2e::kHangCeilingMs);
    ASSERT_NE(box, nullptr) << "the failed save was not told";
    EXPECT_EQ(answer(box, IDOK), widen(kSaveFailure));
    EXPECT_TRUE(IsWindow(preferences));
    PostMessageW(preferences, WM_CLOSE, 0, 0);
    ASSERT_TRUE(
        waitFor([&] { return IsWindow(preferences) ? nullptr : window_; }, e2e::kHangCeilingMs));
    other.reset();
    if (fault == Fault::folder) {
      EXPECT_TRUE(fs::is_directory(settings_));
    } else {
      EXPECT_EQ(readBytes(settings_), held);
    }
    // Nothing was left beside the settings file.
    for (const auto& entry : fs::directory_iterator(profileFolder())) {
      EXPECT_EQ(entry.path().filename().wstring().find(L"ravelund.ini.tmp"), std::wstring::npos);
    }
    PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }
}

TEST_F(ProfileJob, WithoutItsProfileFolderTheJobRunsAndTheFilesLiveInTheCurrentFolder) {
  // The profile folder moved away for the length of the test (the test's
  // folders lie outside it), and put back whatever happens.
  const fs::path profile = profileFolder();
  const fs::path away = profile.wstring() + L"-parti";
  if (!MoveFileW(profile.c_str(), away.c_str())) {
    GTEST_SKIP() << "the profile folder cannot be moved away here (error " << GetLastError() << ")";
  }
  struct PutBack {
    fs::path from, to;
    ~PutBack() {
      std::error_code ignored;
      fs::remove_all(to, ignored);  // anything made meanwhile
      MoveFileW(from.c_str(), to.c_str());
    }
  } putBack{away, profile};

  startTheProgram();
  ASSERT_FALSE(fs::exists(profile)) << "the profile folder came back at start-up";
  e2e::typeFolder(window_, 5, source_);
  e2e::typeFolder(window_, 7, destination_);
  click(15);
  // No settings can be read: every option is off, so the verification is asked for.
  HWND done = waitForBox("Copie");
  ASSERT_NE(done, nullptr);
  answer(done, IDOK);
  HWND question = waitForBox("Vérification", e2e::kHangCeilingMs);
  ASSERT_NE(question, nullptr);
  answer(question, IDYES);
  HWND verdict = waitForBox("Contrôle");
  ASSERT_NE(verdict, nullptr);
  EXPECT_EQ(answer(verdict, IDOK), widen("La copie de [ Été 2026 ] s'est terminée sans erreur."));
  EXPECT_EQ(snapshot(destination_ / L"Été 2026"), snapshot(source_));

  // Without a profile folder the shell names none, and both files live in
  // the program's current folder: the save lands there, and says nothing.
  ASSERT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs));
  click(17);
  const std::wstring title = widen("Ravelund Préférences");
  HWND preferences = waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, title); });
  ASSERT_NE(preferences, nullptr);
  HWND save = waitFor([&] { return GetDlgItem(GetDlgItem(preferences, 38), 39); });
  ASSERT_NE(save, nullptr);
  for (const int option : {34, 36}) SendMessageW(GetDlgItem(preferences, option), BM_CLICK, 0, 0);
  PostMessageW(save, BM_CLICK, 0, 0);
  ASSERT_TRUE(
      waitFor([&] { return IsWindow(preferences) ? nullptr : window_; }, e2e::kHangCeilingMs));
  EXPECT_EQ(readBytes(current_ / L"ravelund.ini"),
            "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
  EXPECT_EQ(journalLines(current_ / L"ravelundlog.ini").at(0).rfind("Journal créé le : ", 0), 0u);

  // The next job reads them there and journals there.
  fs::remove_all(destination_ / L"Été 2026");
  const auto boxes = runAJobToItsVerdict();
  expectAGoodCopy(boxes);
  EXPECT_EQ(journalFailures(boxes), 0);
  const auto lines = journalLines(current_ / L"ravelundlog.ini");
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines.back(), "");
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(fs::exists(profile));
}

TEST_F(ProfileJob, AReadOnlyJournalIsToldOnceAndKeptWhole) {
  const std::string held =
      journalRecord("Journal créé le : 01 - 01 - 2026 à 00:00:00") + journalRecord("");
  writeBytes(journal_, held);
  ASSERT_TRUE(SetFileAttributesW(journal_.c_str(), FILE_ATTRIBUTE_READONLY));
  startTheProgram();
  const auto boxes = runAJobToItsVerdict();
  expectAGoodCopy(boxes);
  EXPECT_EQ(journalFailures(boxes), 1);
  EXPECT_EQ(readBytes(journal_), held);
}

}  // namespace
