// Settings files of any content parse without reading out of bounds, and what
// the writer makes of them reads back to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_file.h"
#include "settings/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  settings::IniFile file;
  file.parse(bytes);
  for (const char* key : {"verif", "space", "log", "opencopy", "openlog", ""}) {
    file.readString(key, "default");
  }
  file.writeString("verif", "ok");
  const std::string written = file.text();

  // A single-byte file whose first entry starts with the bytes of the UTF-8
  // mark reads as UTF-8 once written: the format cannot tell them apart.
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (written.starts_with(kMark) && !bytes.starts_with(kMark)) return 0;

  settings::IniFile again;
  again.parse(written);
  if (again.readString("verif", "") != "ok") std::abort();
  // Written once, the entries come back unchanged.
  if (again.text() != written) std::abort();
  return 0;
}
