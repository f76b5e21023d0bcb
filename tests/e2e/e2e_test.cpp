// Starts the real ravelund.exe and works its window from outside, as a user
// would: finds it, clicks its buttons, reads and answers its message boxes.
//
//   ravelund_e2e PATH\TO\ravelund.exe
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "journal/cipher.h"
#include "journal/journal.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/journal_lines.h"
#include "text/text.h"

namespace {

using e2e::answer;
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

std::wstring programPath;

class RunningProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + programPath + L"\"";
    ASSERT_TRUE(CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process_))
        << "error " << GetLastError();
    window_ =
        waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, e2e::kMainWindowTitle); });
    ASSERT_NE(window_, nullptr) << "the main window never appeared";
    bar_ = e2e::waitForCommandBar(window_);
    ASSERT_NE(bar_, nullptr);
  }

  void TearDown() override {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  void click(int control) { PostMessageW(GetDlgItem(bar_, control), BM_CLICK, 0, 0); }

  // Clicks "Paramètres" and waits for the preferences window with its last
  // box made; null when it does not come.
  HWND openPreferences() {
    click(17);
    const std::wstring title = widen("Ravelund Préférences");
    HWND preferences = waitFor([&] { return findWindowOf(process_.dwProcessId, nullptr, title); });
    if (!preferences) return nullptr;
    return waitFor([&] { return GetDlgItem(preferences, 37) ? preferences : nullptr; });
  }

  bool endsWithin(int milliseconds, DWORD* exitCode) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
      return false;
    }
    GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
  }

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};

namespace fs = std::filesystem;

// A job's folders, the settings file that asks for the journal, and the
// journal itself, all put back as they were afterwards.
class RunningJob : public RunningProgram {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = fs::path(temp) / ("ravelund-e2e-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    source_ = root_ / L"Été 2026";
    destination_ = root_ / L"Sauvegardes";
    fs::create_directories(source_ / L"plage" / L"rochers");
    fs::create_directories(source_ / L"vide");
    fs::create_directories(destination_);
    writeBytes(source_ / L"mer.jpg", std::string(300000, 'm'));
    writeBytes(source_ / L"vide.txt", "");
    writeBytes(source_ / L"plage" / L"château.png", std::string(5000, 'c'));
    writeBytes(source_ / L"plage" / L"rochers" / L"crabe.txt", "crabe");
    settings_ = profileFolder() / L"ravelund.ini";
    journal_ = profileFolder() / L"ravelundlog.ini";
    fs::remove(journal_);
    writeBytes(settings_,
               "verif = no\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");
    RunningProgram::SetUp();
  }

  void TearDown() override {
    RunningProgram::TearDown();
    fs::remove(settings_);
    fs::remove(journal_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  HWND waitForBox(const char* caption, int timeoutMs = e2e::kHangCeilingMs) {
    return e2e::waitForBox(process_.dwProcessId, widen(caption), timeoutMs);
  }

  void startTheJob() {
    e2e::typeFolder(window_, 5, source_);
    e2e::typeFolder(window_, 7, destination_);
    click(15);
  }

  // Waits for the box, presses `button` and tells whether the box was there.
  bool answerBox(const char* caption, int button) {
    HWND box = waitForBox(caption);
    if (!box) return false;
    answer(box, button);
    return true;
  }

  HWND waitForJournalWindow() {
    return waitFor(
        [&] { return findWindowOf(process_.dwProcessId, nullptr, L"Ostrevak Tessune LogFile"); });
  }

  fs::path root_, source_, destination_, settings_, journal_;
};

TEST_F(RunningJob, AWholeJobCopiesVerifiesAndJournalsThroughTheRealWindow) {
  const auto before = snapshot(source_);
  startTheJob();

  HWND done = waitForBox("Copie");
  ASSERT_NE(done, nullptr) << "no end-of-copy box";
  EXPECT_EQ(answer(done, IDOK), widen("La copie de Été 2026 est terminée."));
  HWND question = waitForBox("Vérification");
  ASSERT_NE(question, nullptr) << "no verification question";
  EXPECT_EQ(answer(question, IDYES), widen("Voulez-vous effectuer une vérification de la copie?"));
  HWND verdict = waitForBox("Contrôle");
  ASSERT_NE(verdict, nullptr) << "no verdict";
  // The window takes no input while the verdict is up.
  EXPECT_FALSE(IsWindowEnabled(window_));
  EXPECT_EQ(answer(verdict, IDOK), widen("La copie de [ Été 2026 ] s'est terminée sans erreur."));
  ASSERT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs));
  EXPECT_EQ(textOf(GetDlgItem(window_, 5)), L"");
  EXPECT_EQ(textOf(GetDlgItem(window_, 7)), L"");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(bar_, 15)));

  EXPECT_EQ(snapshot(destination_ / L"Été 2026"), before);
  EXPECT_EQ(snapshot(source_), before);
  const auto lines = journalLines(journal_);
  ASSERT_GE(lines.size(), 17u);
  EXPECT_EQ(lines[0].rfind("Journal créé le : ", 0), 0u);
  EXPECT_EQ(lines[2],
            "---------------------------- [ Été 2026 ]-------------------------------------------");
  EXPECT_EQ(lines[4], "Emplacement original : " + utf8(source_.wstring() + L"\\"));
  EXPECT_EQ(lines[5], "Destination : " + utf8(destination_ / L"Été 2026"));
  EXPECT_EQ(lines[12], "   Taille dossier original : 0.291 Mo");
  EXPECT_EQ(lines[13], "   Taille dossier copié : 0.291 Mo");
  EXPECT_EQ(lines[14], "La copie de [ Été 2026 ] s'est terminée sans erreur.");
  EXPECT_EQ(lines.back(), "");
}

TEST_F(RunningJob, TheReportsMenuShowsTheJournalWindowModalOverTheMainWindow) {
  startTheJob();
  ASSERT_TRUE(answerBox("Copie", IDOK));
  ASSERT_TRUE(answerBox("Vérification", IDNO));
  ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(GetDlgItem(bar_, 15)) ? window_ : nullptr; }));

  // What choosing "Ouvrir" in the reports menu sends.
  PostMessageW(window_, WM_COMMAND, 24, 0);
  HWND viewer = waitForJournalWindow();
  ASSERT_NE(viewer, nullptr) << "no journal window";
  EXPECT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? nullptr : window_; }, e2e::kHangCeilingMs));
  RECT client;
  GetClientRect(viewer, &client);
  EXPECT_EQ(client.right, 700);
  EXPECT_EQ(client.bottom, 400);
  // The window is found as soon as it shows: wait for its filled text area.
  HWND area = waitFor([&] {
    HWND control = GetDlgItem(viewer, 27);
    return control && SendMessageW(control, WM_GETTEXTLENGTH, 0, 0) > 0 ? control : nullptr;
  });
  ASSERT_NE(area, nullptr);
  std::wstring text(1 << 16, L'\0');
  const auto length =
      SendMessageW(area, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  EXPECT_EQ(text.rfind(widen("Journal créé le : "), 0), 0u);
  EXPECT_NE(text.find(widen("Emplacement original : ")), std::wstring::npos);
  EXPECT_NE(text.find(widen("- Espace disponible = ")), std::wstring::npos);
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(waitFor([&] { return IsWindow(viewer) ? nullptr : window_; }, e2e::kHangCeilingMs));
  EXPECT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs));
}

TEST_F(RunningJob, AJournalOfMegabytesShowsEveryLineAndTheWindowClosesWhileItFills) {
  const std::string line = "Emplacement original : C:\\Données\\Photos\\ — ligne de journal n° ";
  std::string bytes;
  constexpr int kLines = 20000;
  for (int i = 0; i < kLines; ++i) {
    bytes +=
        journal::encipherLine(text::toWindows1252(line + std::to_string(i)), journal::kJournalKey) +
        "\r\n";
  }
  writeBytes(journal_, bytes);
  for (const bool waitForAll : {true, false}) {
    SCOPED_TRACE(waitForAll ? "all lines" : "closed while filling");
    PostMessageW(window_, WM_COMMAND, 24, 0);
    HWND viewer = waitForJournalWindow();
    ASSERT_NE(viewer, nullptr);
    HWND area = waitFor([&] { return GetDlgItem(viewer, 27); });
    ASSERT_NE(area, nullptr);
    if (waitForAll) {
      const std::wstring last = widen((line + std::to_string(kLines - 1)).c_str());
      ASSERT_TRUE(waitFor(
          [&] {
            const auto length = SendMessageW(area, WM_GETTEXTLENGTH, 0, 0);
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            SendMessageW(area, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(length));
            return text.size() >= last.size() &&
                           text.compare(text.size() - last.size(), last.size(), last) == 0
                       ? area
                       : nullptr;
          },
          120000))
          << "the last line never arrived";
    }
    PostMessageW(viewer, WM_CLOSE, 0, 0);
    ASSERT_TRUE(waitFor([&] { return IsWindow(viewer) ? nullptr : window_; }, e2e::kHangCeilingMs));
    EXPECT_TRUE(
        waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs));
  }
}

TEST_F(RunningJob, TheVerificationOpensTheJournalAndTheProgramStillQuitsCleanly) {
  writeBytes(settings_,
             "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = ok\r\n");
  startTheJob();
  ASSERT_TRUE(answerBox("Copie", IDOK));
  ASSERT_TRUE(answerBox("Contrôle", IDOK));
  // The journal window belongs to the window's own thread, not the verification's.
  HWND viewer = waitForJournalWindow();
  ASSERT_NE(viewer, nullptr) << "no journal window";
  EXPECT_EQ(GetWindowThreadProcessId(viewer, nullptr), GetWindowThreadProcessId(window_, nullptr));
  EXPECT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? nullptr : window_; }, e2e::kHangCeilingMs));
  // The main window is disabled, but the system can still ask it to close.
  PostMessageW(window_, WM_CLOSE, 0, 0);
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(15000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(journalLines(journal_).back(), "");
}

TEST_F(RunningJob, CancelDuringACopyAnsweredYesJournalsItAndQuits) {
  // Enough data that the copy is still running when the question comes.
  for (int i = 0; i < 40; ++i) {
    writeBytes(source_ / ("gros" + std::to_string(i) + ".bin"), std::string(8 << 20, 'g'));
  }
  writeBytes(settings_,
             "verif = no\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n");
  startTheJob();
  ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(GetDlgItem(bar_, 15)) ? nullptr : window_; }));
  click(16);
  HWND question = waitForBox("Tâche en cours!", e2e::kHangCeilingMs);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(answer(question, IDYES),
            widen("La copie est en cours, êtes vous sûr de vouloir annuler et quitter?"));
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(20000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(journalLines(journal_),
            std::vector<std::string>{"ANNULATION DE LA COPIE EN COURS PAR L'UTILISATEUR"});
}

TEST_F(RunningProgram, ShowsItsWindowWithEveryCommandButton) {
  const char* captions[] = {"Démarrer", "Annuler",  "Paramètres", "Journal",
                            "Aide",     "Explorer", "Ostrevak"};
  for (int control = 15; control <= 21; ++control) {
    HWND button = GetDlgItem(bar_, control);
    ASSERT_NE(button, nullptr) << control;
    EXPECT_EQ(textOf(button), widen(captions[control - 15]));
  }
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 600);
  EXPECT_EQ(client.bottom, 410);
}

TEST_F(RunningProgram, HelpButtonShowsTheQuickHelpBox) {
  click(19);
  const std::wstring caption = widen("Ravelund, comment ça marche");
  HWND box = waitFor([&] { return findWindowOf(process_.dwProcessId, L"#32770", caption); });
  ASSERT_NE(box, nullptr) << "no help box";
  const std::wstring text = textOf(GetDlgItem(box, 0xFFFF));
  EXPECT_EQ(text.rfind(widen("Fonctionnement général de Ostrevak Tessune"), 0), 0u);
  EXPECT_NE(text.find(widen("Cordialement, Meldrin")), std::wstring::npos);
  // While the box is open the main window takes no input.
  EXPECT_FALSE(IsWindowEnabled(window_));
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(waitFor([&] { return IsWindow(box) ? nullptr : window_; }, e2e::kHangCeilingMs));
  EXPECT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs));
}

// The settings file in the profile folder, as the program names it.
std::wstring settingsFile() { return (profileFolder() / L"ravelund.ini").wstring(); }

TEST_F(RunningProgram, ParametresOpensThePreferencesAndEnregistrerSavesTheTicks) {
  const std::wstring file = settingsFile();
  DeleteFileW(file.c_str());
  HWND preferences = openPreferences();
  ASSERT_NE(preferences, nullptr) << "no preferences window";
  EXPECT_FALSE(IsWindowEnabled(window_));
  // Clicks on the main window's buttons go nowhere meanwhile.
  click(19);
  Sleep(300);
  EXPECT_EQ(findWindowOf(process_.dwProcessId, L"#32770", widen("Ravelund, comment ça marche")),
            nullptr);
  SendMessageW(GetDlgItem(preferences, 33), BM_CLICK, 0, 0);
  SendMessageW(GetDlgItem(preferences, 34), BM_CLICK, 0, 0);
  HWND panel = GetDlgItem(preferences, 38);
  ASSERT_NE(panel, nullptr);
  PostMessageW(GetDlgItem(panel, 39), BM_CLICK, 0, 0);
  ASSERT_TRUE(
      waitFor([&] { return IsWindow(preferences) ? nullptr : window_; }, e2e::kHangCeilingMs));
  EXPECT_TRUE(
      waitFor([&] { return IsWindowEnabled(window_) ? window_ : nullptr; }, e2e::kHangCeilingMs));
  EXPECT_EQ(readBytes(file),
            "verif = ok\r\nspace = ok\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n");
  DeleteFileW(file.c_str());
}

TEST_F(RunningProgram, AClosingAskedOfTheMainWindowOverThePreferencesQuitsWithoutSaving) {
  const std::wstring file = settingsFile();
  DeleteFileW(file.c_str());
  HWND preferences = openPreferences();
  ASSERT_NE(preferences, nullptr) << "no preferences window";
  SendMessageW(GetDlgItem(preferences, 33), BM_CLICK, 0, 0);
  // The main window is disabled, but the system can still ask it to close.
  ASSERT_FALSE(IsWindowEnabled(window_));
  PostMessageW(window_, WM_CLOSE, 0, 0);
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(10000, &exitCode)) << "the close was lost";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RunningProgram, CancelButtonWithNoCopyQuits) {
  click(16);
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(RunningProgram, CloseBoxQuits) {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  DWORD exitCode = 99;
  ASSERT_TRUE(endsWithin(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ravelund_e2e PATH\\TO\\ravelund.exe\n");
    return 2;
  }
  programPath = argv[1];
  return RUN_ALL_TESTS();
}
