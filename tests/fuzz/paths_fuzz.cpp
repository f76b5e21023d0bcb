// Path helpers on any text: the root is a beginning of the path, the folder
// name a piece of it without separators, and nothing reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "volume/volume.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view path(reinterpret_cast<const char*>(data), size);
  const std::string root = volume::driveRoot(path);
  if (!path.starts_with(root) && root != "/") std::abort();
  const std::string name = volume::folderName(path);
  if (name.find_first_of("\\/") != std::string::npos) std::abort();
  if (!name.empty() && path.find(name) == std::string_view::npos) std::abort();
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < size && i < sizeof count; ++i) count = count << 8 | data[i];
  const std::string text = volume::sizeText(count);
  if (text.size() < 4 || text.find('.') == std::string::npos) std::abort();
  return 0;
}
