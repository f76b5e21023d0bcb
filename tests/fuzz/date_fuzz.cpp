// Date masks of any content and dates of any value format without overflow or
// out-of-bounds reads; text without a "%" is copied as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "journal/date.h"
#include "journal/journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  journal::DateValue date = 0;
  if (size >= sizeof date) {
    std::memcpy(&date, data, sizeof date);
    data += sizeof date;
    size -= sizeof date;
  }
  const std::string_view mask(reinterpret_cast<const char*>(data), size);
  const std::string text = journal::formatDate(mask, date);
  if (mask.find('%') == std::string_view::npos && text != mask) std::abort();
  // A date within four-digit years splits into fields that rebuild it.
  if (date >= -62135596800 && date <= 253402300799) {
    const std::string fields = journal::formatDate("%yyyy %mm %dd %hh %ii %ss", date);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(fields.c_str(), "%d %d %d %d %d %d", &year, &month, &day, &hour, &minute,
                    &second) != 6) {
      std::abort();
    }
    if (journal::dateFromFields(year, month, day, hour, minute, second) != date) std::abort();
  }
  return 0;
}
