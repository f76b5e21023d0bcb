// The big job through the real ravelund.exe under Wine, for bench/big_job.sh:
// types the two folders, presses "Démarrer" and, while the copy and then the
// verification run, times the window's answers from outside: a WM_NULL sent
// every 20 ms, a move of the window every half second, and once, three
// seconds into the copy, "Annuler" (until its question shows; answered "Non").
//
//   big_job_wine PROGRAM.exe SOURCE DESTINATION
//
// The settings file asks for the verification and the journal; the profile's
// own settings and journal are put back afterwards. Nothing is asserted.
#include <windows.h>
// After windows.h.
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

double now() {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string readBytes(const std::wstring& path, bool& found) {
  found = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  return e2e::readBytes(path);
}

std::string utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
  result.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
  return result;
}

struct Phase {
  explicit Phase(const char* phaseName) : name(phaseName) {}
  const char* name;
  std::vector<double> answers;  // WM_NULL round trips, seconds
  std::vector<double> moves;    // SetWindowPos calls, seconds
  double seconds = 0;
  double workingSetMiB = 0;
};

double longest(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void print(const Phase& phase) {
  std::printf(
      "%-8s %9.2f s   WM_NULL answered %6zu times: longest %7.1f ms, median %5.1f ms;"
      "  %4zu moves: longest %7.1f ms;  working set %.0f MiB\n",
      phase.name, phase.seconds, phase.answers.size(), longest(phase.answers) * 1000,
      median(phase.answers) * 1000, phase.moves.size(), longest(phase.moves) * 1000,
      phase.workingSetMiB);
}

double workingSetMiB(HANDLE process, bool peak) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
  return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) /
         (1024.0 * 1024.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc != 4) {
    std::fprintf(stderr, "usage: big_job_wine PROGRAM.exe SOURCE DESTINATION\n");
    return 2;
  }
  wchar_t profile[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile);
  const std::wstring settings = std::wstring(profile) + L"\\ravelund.ini";
  const std::wstring journal = std::wstring(profile) + L"\\ravelundlog.ini";
  bool hadSettings = false;
  bool hadJournal = false;
  const std::string oldSettings = readBytes(settings, hadSettings);
  const std::string oldJournal = readBytes(journal, hadJournal);
  e2e::writeBytes(settings,
                  "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n");

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "cannot start the program (error %lu)\n", GetLastError());
    return 1;
  }
  const std::wstring title = e2e::kMainWindowTitle;
  HWND window = nullptr;
  HWND bar = nullptr;
  for (int waited = 0; waited < 30000 && !bar; waited += 20) {
    window = e2e::findWindowOf(process.dwProcessId, nullptr, title);
    HWND candidate = window ? GetDlgItem(window, 14) : nullptr;
    if (candidate && GetDlgItem(candidate, 13)) bar = candidate;
    Sleep(20);
  }
  if (!bar) {
    std::fprintf(stderr, "the main window never appeared\n");
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  std::printf("working set at start %.0f MiB\n", workingSetMiB(process.hProcess, false));

  const std::wstring source = std::wstring(argv[2]) + L"\\";
  const std::wstring destination = std::wstring(argv[3]) + L"\\";
  SendMessageW(GetDlgItem(window, 5), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(source.c_str()));
  SendMessageW(GetDlgItem(window, 7), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));
  RECT frame{};
  GetWindowRect(window, &frame);

  const auto probePhase = [&](Phase& phase, const std::wstring& endCaption, auto&& during) {
    const double start = now();
    double lastMove = start;
    double lastLook = start;
    bool left = false;
    for (;;) {
      // Looking for the box goes through every window of the session: every
      // 20 ms it cost the driver more processor time than the window it
      // measures, on a machine of two cores. Every 200 ms is enough for
      // phases of a minute.
      if (now() - lastLook >= 0.2) {
        lastLook = now();
        HWND box = e2e::findWindowOf(process.dwProcessId, L"#32770", endCaption);
        if (box) {
          phase.seconds = now() - start;
          phase.workingSetMiB = workingSetMiB(process.hProcess, false);
          return box;
        }
      }
      const double asked = now();
      DWORD_PTR result = 0;
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
      phase.answers.push_back(now() - asked);
      if (asked - lastMove > 0.5) {
        const double moved = now();
        left = !left;
        SetWindowPos(window, nullptr, frame.left + (left ? 40 : 0), frame.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        phase.moves.push_back(now() - moved);
        lastMove = moved;
      }
      during(now() - start);
      if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) return HWND{};
    }
  };
  const auto press = [](HWND box, int button) {
    PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
    for (int waited = 0; waited < 5000 && IsWindow(box); waited += 5) Sleep(5);
  };

  Phase copy("copy");
  double cancelQuestion = -1;
  PostMessageW(GetDlgItem(bar, 15), BM_CLICK, 0, 0);
  HWND done = probePhase(copy, e2e::widen("Copie"), [&](double elapsed) {
    if (cancelQuestion >= 0 || elapsed < 3) return;
    const std::wstring caption = e2e::widen("Tâche en cours!");
    const double asked = now();
    PostMessageW(GetDlgItem(bar, 16), BM_CLICK, 0, 0);
    HWND question = nullptr;
    while (!question && now() - asked < 60) {
      question = e2e::findWindowOf(process.dwProcessId, L"#32770", caption);
      if (!question) Sleep(1);
    }
    cancelQuestion = now() - asked;
    if (question) press(question, IDNO);
  });
  if (!done) {
    std::fprintf(stderr, "the copy never ended\n");
    return 1;
  }
  wchar_t endText[1024] = {};
  SendMessageW(GetDlgItem(done, 0xFFFF), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(endText));
  press(done, IDOK);

  Phase verify("verify");
  HWND verdict = probePhase(verify, e2e::widen("Contrôle"), [](double) {});
  wchar_t verdictText[1024] = {};
  if (verdict) {
    SendMessageW(GetDlgItem(verdict, 0xFFFF), WM_GETTEXT, 1024,
                 reinterpret_cast<LPARAM>(verdictText));
    press(verdict, IDOK);
  }

  print(copy);
  print(verify);
  if (cancelQuestion >= 0) {
    std::printf("\"Annuler\" during the copy: question shown after %.1f ms\n",
                cancelQuestion * 1000);
  }
  std::printf("end box: %s\nverdict: %s\n", utf8(endText).c_str(), utf8(verdictText).c_str());
  std::printf("peak working set %.0f MiB\n", workingSetMiB(process.hProcess, true));

  PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (hadSettings) {
    e2e::writeBytes(settings, oldSettings);
  } else {
    DeleteFileW(settings.c_str());
  }
  if (hadJournal) {
    e2e::writeBytes(journal, oldJournal);
  } else {
    DeleteFileW(journal.c_str());
  }
  return verdict ? 0 : 1;
}
