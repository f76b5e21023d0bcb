#include "platform/path_names.h"

#include <utility>

#include "platform/files.h"

namespace platform {

namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::size_t pathRootLength(std::string_view path) {
  if (kPathSeparator == '/') return path.starts_with('/') ? 1 : 0;
  if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') {
    return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
  }
  if (path.starts_with("\\\\")) {
    std::size_t end = path.find('\\', 2);                               // after the server
    if (end != std::string_view::npos) end = path.find('\\', end + 1);  // after the share
    return end == std::string_view::npos ? path.size() : end + 1;
  }
  return path.starts_with('\\') ? 1 : 0;
}

PathNames cutPathNames(std::string_view path) {
  PathNames cut;
  const std::size_t root = pathRootLength(path);
  cut.root = path.substr(0, root);
  cut.trailing = path.size() > root && isSeparator(path.back());
  std::size_t start = root;
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    const std::string_view name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!cut.names.empty() && cut.names.back() != "..") {
        cut.names.pop_back();
      } else if (root == 0) {
        cut.names.emplace_back(name);  // above a relative path's start: kept
      }
      continue;
    }
    cut.names.emplace_back(name);
  }
  return cut;
}

}  // namespace platform
