// The Windows file layer as the journal, the settings file and the volume
// texts use it: the profile folder, volume queries, file sharing while the
// journal is read, saves while readers hold the file, and Unicode and long
// path names.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/state.h"
#include "journal/cipher.h"
#include "journal/journal.h"
#include "platform/win32/text.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "volume/volume.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;

std::wstring longPath(const std::wstring& path) { return L"\\\\?\\" + path; }

void removeTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE listing = FindFirstFileW(longPath(folder + L"\\*").c_str(), &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = folder + L"\\" + name;
      SetFileAttributesW(longPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(child);
      } else {
        DeleteFileW(longPath(child).c_str());
      }
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
  }
  RemoveDirectoryW(longPath(folder).c_str());
}

std::string readThrough(HANDLE file) {
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    static int serial = 0;
    folder_ = std::wstring(temp) + L"ravelund-files-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(++serial);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    journal::setJournalFile(narrow(folder_) + "\\ravelundlog.ini",
                            std::string(journal::kJournalKey));
  }
  void TearDown() override { removeTree(folder_); }

  std::string path(const std::string& name) const { return narrow(folder_) + "\\" + name; }

  std::wstring folder_;
};

TEST_F(FilesTest, ProfileFolderEndsWithABackslashAndExists) {
  const std::string folder = platform::profileFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\') << folder;
  EXPECT_EQ(platform::pathInfo(folder).kind, platform::PathKind::folder) << folder;
}

TEST_F(FilesTest, VolumeOfDriveCGivesItsNameAndSizes) {
  const std::string windows = "C:\\Windows\\";
  EXPECT_EQ(volume::driveRoot(windows), "C:\\");
  const std::string fileSystem = volume::fileSystemText(windows);
  ASSERT_FALSE(fileSystem.empty());
  EXPECT_NE(fileSystem.front(), ' ') << fileSystem;
  EXPECT_NE(volume::totalCapacityText(windows), "0.00 Byte");
  const std::string free = volume::freeSpaceBytes(windows);
  ASSERT_FALSE(free.empty());
  EXPECT_EQ(free.find_first_not_of("0123456789"), std::string::npos) << free;
  EXPECT_EQ(platform::pathInfo("C:").kind, platform::PathKind::folder);
  EXPECT_EQ(platform::pathInfo("C:\\").kind, platform::PathKind::folder);
}

TEST_F(FilesTest, AMissingDriveGivesTheFailureTexts) {
  const DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char candidate = 'Q'; candidate <= 'Y' && letter == 0; ++candidate) {
    if ((drives & (1u << (candidate - 'A'))) == 0) letter = candidate;
  }
  ASSERT_NE(letter, 0) << "no free drive letter";
  const std::string missing = std::string(1, letter) + ":\\Sauvegardes\\";

  const std::string fileSystem = volume::fileSystemText(missing);
  ASSERT_GE(fileSystem.size(), 2u);
  EXPECT_EQ(fileSystem.front(), ' ');
  EXPECT_TRUE(fileSystem == " Not ready" ||
              fileSystem.find_first_not_of("0123456789", 1) == std::string::npos)
      << fileSystem;
  EXPECT_EQ(volume::totalCapacityText(missing), "0.00 Byte");
  EXPECT_EQ(volume::freeSpaceText(missing), "0.00 Byte");
  EXPECT_EQ(volume::freeSpaceBytes(missing), "0");
  EXPECT_EQ(platform::pathInfo(missing).kind, platform::PathKind::missing);
}

// The journal window reads the file while a worker journals: both must work.
TEST_F(FilesTest, JournalIsAppendedWhileAnotherHandleReadsIt) {
  journal::appendJournalLine("première ligne");
  const HANDLE reader =
      CreateFileW(widen(journal::journalPath()).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  const std::string first = readThrough(reader);

  journal::appendJournalLine("deuxième ligne");
  const std::string second = readThrough(reader);  // what was added meanwhile
  EXPECT_EQ(journal::readJournalLines(),
            (std::vector<std::string>{"première ligne", "deuxième ligne"}));
  CloseHandle(reader);

  EXPECT_EQ(first, journal::encipherLine("premi\xE8re ligne", journal::kJournalKey) + "\r\n");
  EXPECT_EQ(second, journal::encipherLine("deuxi\xE8me ligne", journal::kJournalKey) + "\r\n");
}

// Each append opens the file letting others only read it, so two at once
// would shut one out; records from many threads must all arrive whole.
TEST_F(FilesTest, ConcurrentAppendsAllArrive) {
  constexpr int kThreads = 6;
  constexpr int kLinesEach = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLinesEach; ++i) {
        journal::appendJournalLine("fil " + std::to_string(t) + " ligne " + std::to_string(i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "fil %d ligne %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(i, next[t]++) << line;
  }
}

// Workers read the settings while the main thread saves them: every save must
// land, and every read must find a whole file.
TEST_F(FilesTest, SavesReplaceTheSettingsWhileReadersHoldThem) {
  const std::string file = path("ravelund.ini");
  const std::string on =
      "verif = ok\r\nspace = ok\r\nlog = ok\r\nopencopy = ok\r\nopenlog = ok\r\n";
  const std::string off =
      "verif = no\r\nspace = no\r\nlog = no\r\nopencopy = no\r\nopenlog = no\r\n";
  ASSERT_TRUE(platform::replaceFile(file, off));

  std::atomic<bool> saving{true};
  std::atomic<int> badReads{0};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    while (saving) {
      settings::IniFile ini;
      std::string bytes;
      if (platform::readWholeFile(file, bytes) && bytes != on && bytes != off) ++badReads;
      if (ini.open(file) && ini.readString("openlog", "").empty()) ++badReads;
      ++reads;
      // A reader holds the file for a moment, then lets it be: one that never
      // let go could starve a save's 2 s of retries on a loaded machine.
      Sleep(1);
    }
  });
  int failedSaves = 0;
  for (int save = 0; save < 100; ++save) {
    if (!platform::replaceFile(file, save % 2 == 0 ? on : off)) ++failedSaves;
  }
  saving = false;
  reader.join();
  EXPECT_EQ(failedSaves, 0);
  EXPECT_EQ(badReads.load(), 0);
  EXPECT_GT(reads.load(), 0);
  std::string last;
  ASSERT_TRUE(platform::readWholeFile(file, last));
  EXPECT_EQ(last, off);
}

// A settings file that another program holds open for writing still reads,
// through the most lenient of the ways of opening it.
TEST_F(FilesTest, SettingsReadWhileAnotherProgramWritesThem) {
  const std::string file = path("ravelund.ini");
  ASSERT_TRUE(platform::replaceFile(file, "verif = ok\r\n"));
  const HANDLE writer =
      CreateFileW(widen(file).c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::string bytes;
  EXPECT_FALSE(platform::readWholeFile(file, bytes, platform::ReadMode::readShareRead));
  settings::IniFile ini;
  ASSERT_TRUE(ini.open(file));
  EXPECT_EQ(ini.readString("VERIF", ""), "ok");
  CloseHandle(writer);
}

TEST_F(FilesTest, UnicodeAndLongPathNames) {
  const std::wstring unicode = folder_ + L"\\Données 日本語 ✓";
  // Wine reaches Unix file names through the locale's character set: without
  // a UTF-8 locale (LC_ALL=C.UTF-8 for instance) no accented name can exist.
  ASSERT_TRUE(CreateDirectoryW(unicode.c_str(), nullptr))
      << "error " << GetLastError() << "; under Wine, is the locale UTF-8?";
  std::wstring deep = unicode;
  while (deep.size() < 300) {
    deep += L"\\dossier très profond ünïcødé";
    ASSERT_TRUE(CreateDirectoryW(longPath(deep).c_str(), nullptr));
  }
  for (const std::wstring& folder : {unicode, deep}) {
    const std::string journalPath = narrow(folder) + "\\ravelundlog.ini";
    journal::setJournalFile(journalPath, journal::journalKey());
    EXPECT_FALSE(journal::journalExists());
    journal::ensureJournal();
    journal::appendJournalLine("Copie de « Données » terminée");
    const std::vector<std::string> lines = journal::readJournalLines();
    ASSERT_EQ(lines.size(), 3u) << journalPath;
    EXPECT_TRUE(lines[0].starts_with("Journal créé le : ")) << lines[0];
    EXPECT_EQ(lines[2], "Copie de « Données » terminée");

    const platform::PathInfo info = platform::pathInfo(journalPath);
    EXPECT_EQ(info.kind, platform::PathKind::file);
    EXPECT_GT(info.size, 0u);
    EXPECT_EQ(platform::pathInfo(narrow(folder) + "\\").kind, platform::PathKind::folder);

    const std::string settingsFile = narrow(folder) + "\\ravelund.ini";
    ASSERT_TRUE(platform::replaceFile(settingsFile, "verif = ok\r\n"));
    ASSERT_TRUE(platform::replaceFile(settingsFile, "verif = no\r\n"));
    std::string bytes;
    ASSERT_TRUE(platform::readWholeFile(settingsFile, bytes));
    EXPECT_EQ(bytes, "verif = no\r\n");
    EXPECT_TRUE(platform::deleteFile(settingsFile));
    EXPECT_TRUE(platform::deleteFile(journalPath));
    EXPECT_FALSE(journal::journalExists());
  }
  EXPECT_EQ(volume::folderName(narrow(unicode) + "\\"), "Données 日本語 ✓");
}

TEST_F(FilesTest, DoubledSeparatorReadsAsOne) {
  journal::setJournalFile(narrow(folder_) + "\\\\ravelundlog.ini", journal::journalKey());
  journal::appendJournalLine("A");
  std::string bytes;
  ASSERT_TRUE(platform::readWholeFile(path("ravelundlog.ini"), bytes));
  EXPECT_EQ(bytes, "BE00\r\n");
}

}  // namespace
