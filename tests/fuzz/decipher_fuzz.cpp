// Any journal line, including lines another program wrote, deciphers without
// reading out of bounds, and what it gives enciphers and deciphers back to
// itself and survives the trip to UTF-8 and back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "journal/cipher.h"
#include "journal/journal.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view hex(reinterpret_cast<const char*>(data), size);
  const std::string plain = journal::decipherLine(hex, journal::kJournalKey);
  if (plain.size() > size / 2) std::abort();
  if (plain.find('\0') != std::string::npos) std::abort();
  if (journal::decipherLine(journal::encipherLine(plain, journal::kJournalKey),
                            journal::kJournalKey) != plain) {
    std::abort();
  }
  if (text::toWindows1252(text::fromWindows1252(plain)) != plain) std::abort();
  // The same bytes read as a UTF-8 record on its way into the journal.
  const std::string bytes = text::toWindows1252(hex);
  if (bytes.size() > size) std::abort();
  text::upperCaseText(hex);
  return 0;
}
