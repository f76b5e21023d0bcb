#pragma once
// The program's journal as the end-to-end drivers read and write it: one
// enciphered record per line, in Windows-1252, ending with CR LF.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "journal/cipher.h"
#include "journal/journal.h"
#include "tests/e2e/driver.h"
#include "text/text.h"

namespace e2e {

// The journal's lines deciphered.
inline std::vector<std::string> journalLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(readBytes(file));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(text::fromWindows1252(journal::decipherLine(line, journal::kJournalKey)));
  }
  return lines;
}

// One line as the program records it.
inline std::string journalRecord(const std::string& text) {
  return journal::encipherLine(text::toWindows1252(text), journal::kJournalKey) + "\r\n";
}

}  // namespace e2e
