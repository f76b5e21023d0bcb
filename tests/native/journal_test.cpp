// The journal file: its header, its enciphered CR LF lines, and appends from
// many threads at once.
#include "journal/journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/state.h"
#include "journal/cipher.h"
#include "journal/date.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using testsupport::readFile;
using testsupport::writeFile;

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_ / "ravelundlog.ini";
    journal::setJournalFile(path_.string(), std::string(journal::kJournalKey));
    journal::testing::fixCurrentDate(journal::dateFromFields(2026, 12, 7, 6, 5, 9));
  }

  void TearDown() override { journal::testing::useSystemClock(); }

  testsupport::TempFolder temp_;
  const fs::path folder_ = temp_.path();
  fs::path path_;
};

// "Journal créé le : 07 - 12 - 2026 à 06:05:09" enciphered from its
// Windows-1252 bytes, as any reader of the format expects it.
constexpr char kHeaderLine[] =
    "B5D242A41650F828348774E0291D619D9B5391EA21FF731990CDB6A9632424E8D862FEC1657ECDB6AECAF700";

TEST_F(JournalTest, EnsureJournalWritesTheHeaderLineAndAnEmptyLine) {
  journal::ensureJournal();
  EXPECT_EQ(readFile(path_), std::string(kHeaderLine) + "\r\n\r\n");
  EXPECT_EQ(journal::readJournalLines(),
            (std::vector<std::string>{"Journal créé le : 07 - 12 - 2026 à 06:05:09", ""}));
}

TEST_F(JournalTest, EnsureJournalLeavesAnExistingEntryAlone) {
  writeFile(path_, "BE00\r\n");
  journal::ensureJournal();
  EXPECT_EQ(readFile(path_), "BE00\r\n");

  fs::remove(path_);
  fs::create_directory(path_);  // a folder of that name
  journal::ensureJournal();
  journal::appendJournalLine("A");
  EXPECT_TRUE(fs::is_directory(path_));
  EXPECT_TRUE(journal::journalExists());
  EXPECT_TRUE(journal::readJournalLines().empty());
}

TEST_F(JournalTest, AppendOnAMissingJournalStartsItWithoutHeader) {
  EXPECT_FALSE(journal::journalExists());
  journal::appendJournalLine("A");
  EXPECT_TRUE(journal::journalExists());
  EXPECT_EQ(readFile(path_), "BE00\r\n");

  journal::appendJournalLine("");
  journal::appendJournalLine("A");
  EXPECT_EQ(readFile(path_), "BE00\r\n\r\nBE00\r\n");
}

TEST_F(JournalTest, HeaderThenJobLinesInOrder) {
  journal::ensureJournal();
  journal::appendJournalLine("A");
  journal::appendJournalLine("créé");
  EXPECT_EQ(readFile(path_), std::string(kHeaderLine) + "\r\n\r\nBE00\r\n9CCFDE3F00\r\n");
}

TEST_F(JournalTest, RecordsAreWindows1252UnderTheCipher) {
  journal::appendJournalLine("créé");
  EXPECT_EQ(readFile(path_), "9CCFDE3F00\r\n");

  // A character the code page lacks is kept as "?".
  journal::appendJournalLine("Dossier 日本 copié");
  const std::vector<std::string> lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "créé");
  EXPECT_EQ(lines[1], "Dossier ?? copié");
}

TEST_F(JournalTest, ReaderAcceptsEveryLineEnd) {
  const std::string a = journal::encipherLine("un", journal::kJournalKey);
  const std::string b = journal::encipherLine("deux", journal::kJournalKey);
  const std::string c = journal::encipherLine("trois", journal::kJournalKey);
  writeFile(path_, a + "\r" + b + "\n" + c + "\r\n\n" + a);
  EXPECT_EQ(journal::readJournalLines(),
            (std::vector<std::string>{"un", "deux", "trois", "", "un"}));

  // Lines another program wrote decipher to something, without an error.
  writeFile(path_, "not a journal line\r\n" + a + "\r\n");
  const std::vector<std::string> lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "un");
}

TEST_F(JournalTest, AJournalInAMissingFolderIsNeitherMadeNorReportedWritten) {
  EXPECT_TRUE(journal::readJournalLines().empty());
  journal::setJournalFile((folder_ / "missing" / "ravelundlog.ini").string(),
                          journal::journalKey());
  EXPECT_FALSE(journal::appendJournalLine("A"));
  journal::ensureJournal();
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
  EXPECT_FALSE(journal::journalExists());
}

// Threads journal at once, as the scan, verification and main threads do: no
// record may be lost, cut or mixed with another.
TEST_F(JournalTest, ConcurrentAppendsLoseAndInterleaveNothing) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLinesEach; ++i) {
        journal::appendJournalLine("Fil " + std::to_string(t) + " – ligne n°" + std::to_string(i) +
                                   std::string(static_cast<std::size_t>(i % 40), 'x'));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::string bytes = readFile(path_);
  std::size_t lineEnds = 0;
  for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
       at = bytes.find("\r\n", at + 2)) {
    ++lineEnds;
  }
  EXPECT_EQ(lineEnds, static_cast<std::size_t>(kThreads * kLinesEach));

  const std::vector<std::string> lines = journal::readJournalLines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "Fil %d – ligne n°%d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    // Each thread's records arrive whole and in the order it wrote them.
    EXPECT_EQ(i, next[t]) << line;
    EXPECT_EQ(line, "Fil " + std::to_string(t) + " – ligne n°" + std::to_string(i) +
                        std::string(static_cast<std::size_t>(i % 40), 'x'));
    next[t] = i + 1;
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kLinesEach));
}

}  // namespace
