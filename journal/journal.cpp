// The journal file: enciphered records, one per line, each ending with CR LF.
#include "journal/journal.h"

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "journal/cipher.h"
#include "journal/date.h"
#include "platform/files.h"
#include "text/text.h"

namespace journal {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeaderText = "Journal créé le : ";

// The scan, verification and main threads all journal; one record goes to the
// file whole before the next one starts.
std::mutex journalMutex;

// The file and its key: written at start-up, read by every thread that journals.
std::mutex fileMutex;
std::string filePath;
std::string fileKey;

// Set once a failure to write has been told in the current job.
std::atomic<bool> failureTold{false};

std::mutex noticeMutex;
std::function<void()> writeFailureNotice;

void tellWriteFailure() {
  if (failureTold.exchange(true)) return;
  std::function<void()> tell;
  {
    std::lock_guard lock(noticeMutex);
    tell = writeFailureNotice;
  }
  if (tell) tell();
}

std::string fileLine(std::string_view utf8, std::string_view key) {
  std::string line = encipherLine(text::toWindows1252(utf8), key);
  line += kLineEnd;
  return line;
}

}  // namespace

void setWriteFailureNotice(std::function<void()> tell) {
  std::lock_guard lock(noticeMutex);
  writeFailureNotice = std::move(tell);
}

void setJournalFile(std::string path, std::string key) {
  std::lock_guard lock(fileMutex);
  filePath = std::move(path);
  fileKey = std::move(key);
}

std::string journalPath() {
  std::lock_guard lock(fileMutex);
  return filePath;
}

std::string journalKey() {
  std::lock_guard lock(fileMutex);
  return fileKey;
}

bool appendJournalLine(std::string_view line) {
  const std::string path = journalPath();
  const std::string bytes = fileLine(line, journalKey());
  bool written = false;
  {
    std::lock_guard lock(journalMutex);
    // Once the journal has failed in this job, another program holding it is
    // not waited for again at every line: the window's thread journals too.
    written = platform::appendToFile(path, bytes, !failureTold);
  }
  // The box waits for the user: never with the lock held.
  if (!written) tellWriteFailure();
  return written;
}

void rearmWriteFailureNotice() { failureTold = false; }

void ensureJournal() {
  std::string header(kHeaderText);
  header += formatDate(kHeaderDateMask, currentDate());
  const std::string key = journalKey();
  const std::string bytes = fileLine(header, key) + fileLine("", key);
  const std::string path = journalPath();

  std::lock_guard lock(journalMutex);
  if (platform::pathInfo(path).kind != platform::PathKind::missing) return;
  // Fails, leaving the entry alone, when something of that name appeared since.
  platform::createNewFile(path, bytes);
}

bool journalExists() {
  return platform::pathInfo(journalPath()).kind != platform::PathKind::missing;
}

std::vector<std::string> readJournalLines() {
  std::string bytes;
  {
    // Not while one of our threads is halfway through a record.
    std::lock_guard lock(journalMutex);
    if (!platform::readWholeFile(journalPath(), bytes)) return {};
  }

  std::vector<std::string> lines;
  const std::string key = journalKey();
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view hex = std::string_view(bytes).substr(start, end - start);
    lines.push_back(text::fromWindows1252(decipherLine(hex, key)));
    // CR LF is one line end; a lone CR or LF is one too.
    const bool crLf = end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n';
    start = end + (crLf ? 2 : 1);
  }
  return lines;
}

}  // namespace journal
