// Texts computed from paths and byte counts alone, without asking the system.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "volume/volume.h"

namespace volume {

std::string driveRoot(std::string_view path) {
  if (platform::kPathSeparator == '/' && path.starts_with('/')) return "/";
  // A network path's root is the server part: the search starts after "\\".
  const std::size_t from = path.starts_with("\\\\") ? 2 : 0;
  const std::size_t at = path.find('\\', from);
  if (at == std::string_view::npos) return std::string(path);
  return std::string(path.substr(0, at + 1));
}

std::string folderName(std::string_view path) {
  // A quoted path's opening quote is not part of it, and nothing after a "|" is.
  if (path.starts_with('"')) path.remove_prefix(1);
  path = path.substr(0, path.find('|'));

  const std::size_t last = path.find_last_of("\\/");
  if (last == std::string_view::npos) return {};
  const std::string_view folder = path.substr(0, last + 1);

  std::size_t nameStart = 0;
  if (folder.size() >= 2) {
    const std::size_t previous = folder.find_last_of("\\/", folder.size() - 2);
    if (previous != std::string_view::npos) nameStart = previous + 1;
  }
  return std::string(folder.substr(nameStart, folder.size() - 1 - nameStart));
}

std::string sizeText(std::uint64_t count) {
  static constexpr std::array<std::string_view, 5> kUnits = {" Byte", " Kb", " Mb", " Gb", " Tb"};

  // Single precision on purpose: the texts users have always seen come from it.
  float value = static_cast<float>(count);
  std::size_t unit = 1;
  while (value > 1024.0f) {
    value = value / 1024.0f;
    ++unit;
  }

  // Hundredths, with an exact half rounded up. A float times 100 is exact in a
  // double, so the half is seen exactly as it is.
  const double hundredths = static_cast<double>(value) * 100.0;
  double whole = std::floor(hundredths);
  if (hundredths - whole >= 0.5) whole += 1.0;
  const auto rounded = static_cast<std::uint64_t>(whole);

  std::string text = std::to_string(rounded / 100);
  text += '.';
  text += static_cast<char>('0' + rounded % 100 / 10);
  text += static_cast<char>('0' + rounded % 10);
  if (unit <= kUnits.size()) text += kUnits[unit - 1];
  return text;
}

}  // namespace volume
