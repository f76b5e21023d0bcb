// The release as a Windows user gets it, checked from the Windows side: the
// installer run silently, what it leaves in Program Files, the Start menu and
// "Programs and Features", the installed program started and its version read
// back, the silent uninstall, and the portable folder unpacked from the zip.
//
//   release_test WORK-FOLDER --gtest_filter=Install.*|Installed.*|Uninstall.*|Portable.*
//
// WORK-FOLDER is what tests/release/prepare.sh made: dist\ (the release
// files) and portable\ (the zip unpacked). The groups run in that order, in
// separate runs, the installed program's job between the second and the third.
#include <gtest/gtest.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "tests/e2e/driver.h"
#include "version.h"

namespace {

namespace fs = std::filesystem;
using e2e::findWindowOf;
using e2e::readBytes;
using e2e::widen;
using e2e::writeBytes;

fs::path workFolder;

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OstrevakTessune";

const std::wstring kVersion = widen(RAVELUND_VERSION_TEXT);

fs::path knownFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
  return path;
}

fs::path installFolder() { return knownFolder(CSIDL_PROGRAM_FILES) / L"Ostrevak Tessune"; }
fs::path shortcutPath() { return knownFolder(CSIDL_COMMON_PROGRAMS) / L"Ostrevak Tessune.lnk"; }
fs::path setupPath() { return workFolder / L"dist" / (L"ravelund-" + kVersion + L"-setup.exe"); }
fs::path portableFolder() { return workFolder / L"portable" / (L"ravelund-" + kVersion); }

std::set<std::wstring> namesIn(const fs::path& folder) {
  std::set<std::wstring> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().wstring());
  }
  return names;
}

template <typename Done>
bool waitUntil(Done done, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

// Runs a command line to its end; its exit code, or -1 when it could not start
// or did not end in time.
long runToEnd(const std::wstring& commandLine, DWORD timeoutMs) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code == STILL_ACTIVE ? -1 : static_cast<long>(code);
}

// The uninstall entry's values, read from the 64-bit view of the registry.
struct UninstallEntry {
  bool exists = false;
  std::wstring text(const wchar_t* name) const {
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                     nullptr, buffer, &size) != ERROR_SUCCESS) {
      return L"<missing>";
    }
    return buffer;
  }
  DWORD number(const wchar_t* name) const {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name,
                     RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
      return 0xFFFFFFFF;
    }
    return value;
  }
};

UninstallEntry uninstallEntry() {
  HKEY key = nullptr;
  UninstallEntry entry;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) ==
      ERROR_SUCCESS) {
    entry.exists = true;
    RegCloseKey(key);
  }
  return entry;
}

// A version resource read back as Windows' file properties read it.
struct VersionInfo {
  bool found = false;
  WORD parts[4] = {};
  WORD productParts[4] = {};
  std::wstring block;
  std::string data;

  std::wstring text(const wchar_t* name) const {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
    if (!VerQueryValueW(data.data(), query.c_str(), &value, &length) || length == 0) {
      return L"<missing>";
    }
    return static_cast<const wchar_t*>(value);
  }
};

VersionInfo versionOf(const fs::path& file) {
  VersionInfo info;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return info;
  info.data.resize(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, info.data.data())) return info;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      !fixed) {
    return info;
  }
  info.parts[0] = HIWORD(fixed->dwFileVersionMS);
  info.parts[1] = LOWORD(fixed->dwFileVersionMS);
  info.parts[2] = HIWORD(fixed->dwFileVersionLS);
  info.parts[3] = LOWORD(fixed->dwFileVersionLS);
  info.productParts[0] = HIWORD(fixed->dwProductVersionMS);
  info.productParts[1] = LOWORD(fixed->dwProductVersionMS);
  info.productParts[2] = HIWORD(fixed->dwProductVersionLS);
  info.productParts[3] = LOWORD(fixed->dwProductVersionLS);
  struct Translation {
    WORD language;
    WORD codePage;
  }* translations = nullptr;
  if (VerQueryValueW(info.data.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translations), &length) &&
      length >= sizeof(Translation)) {
    wchar_t block[16];
    swprintf(block, 16, L"%04X%04X", translations[0].language, translations[0].codePage);
    info.block = block;
  }
  info.found = true;
  return info;
}

std::wstring dotted(const WORD (&parts)[4]) {
  return std::to_wstring(parts[0]) + L"." + std::to_wstring(parts[1]) + L"." +
         std::to_wstring(parts[2]) + L"." + std::to_wstring(parts[3]);
}

// The program's version resource, as its file properties show it.
void expectTheProgramsVersion(const fs::path& exe) {
  const VersionInfo info = versionOf(exe);
  ASSERT_TRUE(info.found) << "no version resource in " << exe;
  EXPECT_EQ(dotted(info.parts), kVersion);
  EXPECT_EQ(dotted(info.productParts), kVersion);
  EXPECT_EQ(info.block, L"040C04B0") << "French strings, in Unicode";
  EXPECT_EQ(info.text(L"ProductName"), L"Ostrevak Tessune");
  EXPECT_EQ(info.text(L"CompanyName"), L"Ostrevak");
  EXPECT_EQ(info.text(L"FileVersion"), kVersion);
  EXPECT_EQ(info.text(L"ProductVersion"), kVersion);
  EXPECT_EQ(info.text(L"OriginalFilename"), L"ravelund.exe");
  EXPECT_EQ(info.text(L"FileDescription"),
            widen("Ostrevak Tessune : copie et vérification de dossiers"));
  EXPECT_EQ(info.text(L"LegalCopyright"), widen("© 2026 Ostrevak"));
}

// Starts the program as a double click on it (or on its shortcut, in
// `folder`) would, waits for its main window with its command bar, closes it
// with the close box and expects a clean exit.
void startAndClose(const fs::path& exe, const fs::path& folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" + exe.wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             folder.c_str(), &startup, &process))
      << "error " << GetLastError();
  HWND window = nullptr;
  waitUntil(
      [&] {
        return (window = findWindowOf(process.dwProcessId, nullptr, e2e::kMainWindowTitle)) !=
               nullptr;
      },
      20000);
  EXPECT_NE(window, nullptr) << "no window titled \"Ostrevak Tessune " RAVELUND_VERSION_TITLE "\"";
  if (window) {
    EXPECT_NE(e2e::waitForCommandBar(window), nullptr);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_GT(client.right, 500);
    EXPECT_GT(client.bottom, 300);
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  EXPECT_EQ(code, 0u) << "the program did not end cleanly";
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

// The target, folder and description of a shell shortcut.
struct Shortcut {
  bool loaded = false;
  std::wstring target, folder, description;
};

Shortcut readShortcut(const fs::path& file) {
  Shortcut shortcut;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return shortcut;
  }
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH] = {};
      shortcut.loaded = SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0));
      shortcut.target = text;
      wchar_t folder[MAX_PATH] = {};
      link->GetWorkingDirectory(folder, MAX_PATH);
      shortcut.folder = folder;
      wchar_t description[INFOTIPSIZE] = {};
      link->GetDescription(description, INFOTIPSIZE);
      shortcut.description = description;
    }
    persist->Release();
  }
  link->Release();
  return shortcut;
}

bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error);
}

const std::set<std::wstring> kInstalledFiles = {L"LICENCE.txt", L"LISEZMOI.txt",
                                                L"desinstaller.exe", L"ravelund.exe"};

// ---- the installer ------------------------------------------------------------

TEST(Install, TheInstallerCarriesItsOwnVersionInFrench) {
  const VersionInfo info = versionOf(setupPath());
  ASSERT_TRUE(info.found) << setupPath();
  EXPECT_EQ(dotted(info.parts), kVersion);
  EXPECT_EQ(info.text(L"ProductName"), L"Ostrevak Tessune");
  EXPECT_EQ(info.text(L"CompanyName"), L"Ostrevak");
  EXPECT_EQ(info.block.substr(0, 4), L"040C");
}

TEST(Install, ASilentInstallPutsTheProgramInProgramFiles) {
  ASSERT_FALSE(fs::exists(installFolder())) << "the prefix is not fresh: " << installFolder();
  ASSERT_FALSE(uninstallEntry().exists);
  const long code = runToEnd(L"\"" + setupPath().wstring() + L"\" /S", 120000);
  ASSERT_EQ(code, 0) << "the silent install failed or did not end";

  EXPECT_EQ(namesIn(installFolder()), kInstalledFiles);
  // The very program of the portable zip.
  EXPECT_EQ(readBytes(installFolder() / L"ravelund.exe"),
            readBytes(portableFolder() / L"ravelund.exe"));
  EXPECT_EQ(readBytes(installFolder() / L"LISEZMOI.txt"),
            readBytes(portableFolder() / L"LISEZMOI.txt"));
}

// ---- what the installer left --------------------------------------------------

TEST(Installed, TheStartMenuShortcutStartsTheInstalledProgram) {
  ASSERT_TRUE(fs::exists(shortcutPath())) << shortcutPath();
  const Shortcut shortcut = readShortcut(shortcutPath());
  ASSERT_TRUE(shortcut.loaded);
  EXPECT_TRUE(sameFile(shortcut.target, installFolder() / L"ravelund.exe")) << shortcut.target;
  EXPECT_TRUE(sameFile(shortcut.folder, installFolder())) << shortcut.folder;
  EXPECT_EQ(shortcut.description, widen("Copier un dossier et vérifier la copie"));
  startAndClose(shortcut.target, shortcut.folder);
}

TEST(Installed, ProgramsAndFeaturesListsItWithItsVersionPublisherIconSizeAndUninstaller) {
  const UninstallEntry entry = uninstallEntry();
  ASSERT_TRUE(entry.exists);
  EXPECT_EQ(entry.text(L"DisplayName"), L"Ostrevak Tessune");
  EXPECT_EQ(entry.text(L"DisplayVersion"), kVersion);
  EXPECT_EQ(entry.text(L"Publisher"), L"Ostrevak");
  EXPECT_TRUE(sameFile(entry.text(L"InstallLocation"), installFolder()))
      << entry.text(L"InstallLocation");

  const std::wstring icon = entry.text(L"DisplayIcon");
  ASSERT_GE(icon.size(), 2u);
  EXPECT_EQ(icon.substr(icon.size() - 2), L",0");
  EXPECT_TRUE(sameFile(icon.substr(0, icon.size() - 2), installFolder() / L"ravelund.exe")) << icon;

  // In KiB: the installed files' size, rounded.
  std::uintmax_t bytes = 0;
  for (const auto& name : kInstalledFiles) bytes += fs::file_size(installFolder() / name);
  const DWORD kib = entry.number(L"EstimatedSize");
  EXPECT_GE(kib, bytes / 1024);
  EXPECT_LE(kib, bytes / 1024 + 8);

  const std::wstring uninstall = entry.text(L"UninstallString");
  ASSERT_GE(uninstall.size(), 2u);
  ASSERT_EQ(uninstall.front(), L'"');
  const std::wstring program = uninstall.substr(1, uninstall.find(L'"', 1) - 1);
  EXPECT_TRUE(sameFile(program, installFolder() / L"desinstaller.exe")) << uninstall;
  EXPECT_EQ(entry.text(L"QuietUninstallString"), uninstall + L" /S");
  EXPECT_EQ(entry.number(L"NoModify"), 1u);
  EXPECT_EQ(entry.number(L"NoRepair"), 1u);
}

TEST(Installed, TheInstalledProgramCarriesItsVersionAndOpensItsWindow) {
  expectTheProgramsVersion(installFolder() / L"ravelund.exe");
  startAndClose(installFolder() / L"ravelund.exe", knownFolder(CSIDL_PROFILE));
}

// ---- the uninstaller ------------------------------------------------------------

TEST(Uninstall, ASilentUninstallRemovesAllItInstalledAndKeepsTheUsersFiles) {
  const fs::path profile = knownFolder(CSIDL_PROFILE);
  const std::string settings =
      "verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n";
  const std::string journal =
      "4A6F75726E616C\r\n";  // any lines: the uninstaller must not read them
  writeBytes(profile / L"ravelund.ini", settings);
  writeBytes(profile / L"ravelundlog.ini", journal);
  ASSERT_TRUE(uninstallEntry().exists);
  const std::wstring quiet = uninstallEntry().text(L"QuietUninstallString");
  ASSERT_EQ(runToEnd(quiet, 120000), 0) << quiet;

  // The uninstaller runs on from a copy of itself in the temporary folder.
  EXPECT_TRUE(waitUntil([] { return !fs::exists(installFolder()); }, 60000))
      << "still there: " << fs::path(installFolder()) << " holding "
      << namesIn(installFolder()).size() << " names";
  EXPECT_TRUE(waitUntil([] { return !uninstallEntry().exists; }, 10000));
  EXPECT_FALSE(fs::exists(shortcutPath()));
  EXPECT_EQ(readBytes(profile / L"ravelund.ini"), settings);
  EXPECT_EQ(readBytes(profile / L"ravelundlog.ini"), journal);
  fs::remove(profile / L"ravelund.ini");
  fs::remove(profile / L"ravelundlog.ini");
}

TEST(Uninstall, AFileOfTheUsersInTheProgramsFolderIsLeftWithItsFolder) {
  // A second install and uninstall, with a file put there by the user.
  ASSERT_EQ(runToEnd(L"\"" + setupPath().wstring() + L"\" /S", 120000), 0);
  ASSERT_EQ(namesIn(installFolder()), kInstalledFiles);
  writeBytes(installFolder() / L"mes notes.txt", "à garder");
  ASSERT_EQ(runToEnd(uninstallEntry().text(L"QuietUninstallString"), 120000), 0);
  EXPECT_TRUE(waitUntil([] { return !uninstallEntry().exists; }, 60000));
  EXPECT_TRUE(waitUntil([] { return namesIn(installFolder()).size() == 1; }, 60000));
  EXPECT_EQ(namesIn(installFolder()), std::set<std::wstring>{L"mes notes.txt"});
  EXPECT_EQ(readBytes(installFolder() / L"mes notes.txt"), "à garder");
  EXPECT_FALSE(fs::exists(shortcutPath()));
  fs::remove_all(installFolder());
}

// ---- the portable zip -----------------------------------------------------------

TEST(Portable, TheUnpackedFolderHoldsTheProgramItsNoticeAndTheLicence) {
  EXPECT_EQ(namesIn(portableFolder()),
            (std::set<std::wstring>{L"LICENCE.txt", L"LISEZMOI.txt", L"ravelund.exe"}));
  const std::string notice = readBytes(portableFolder() / L"LISEZMOI.txt");
  // Notepad on every supported Windows reads it right: a UTF-8 mark and CRLF.
  EXPECT_EQ(notice.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(notice.find('\n'), notice.find("\r\n") + 1);
  EXPECT_NE(notice.find("Ostrevak Tessune " RAVELUND_VERSION_TEXT), std::string::npos);
  EXPECT_NE(notice.find("ravelund.ini"), std::string::npos);
  EXPECT_NE(notice.find("ravelundlog.ini"), std::string::npos);
  EXPECT_NE(notice.find("%USERPROFILE%"), std::string::npos);
  EXPECT_NE(notice.find("SHA256SUMS"), std::string::npos);
  EXPECT_NE(readBytes(portableFolder() / L"LICENCE.txt").find("Ostrevak"), std::string::npos);
}

TEST(Portable, TheProgramRunsFromItsFolderAndWritesNothingThere) {
  expectTheProgramsVersion(portableFolder() / L"ravelund.exe");
  const auto before = namesIn(portableFolder());
  startAndClose(portableFolder() / L"ravelund.exe", portableFolder());
  EXPECT_EQ(namesIn(portableFolder()), before);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: release_test WORK-FOLDER [--gtest_filter=...]\n");
    return 2;
  }
  workFolder = argv[1];
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
