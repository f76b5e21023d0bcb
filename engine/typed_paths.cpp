// Typed paths put in the shell's form, and the test that keeps a copy out of
// its own source.
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/path_text.h"
#include "platform/files.h"
#include "platform/tree.h"

namespace engine {
namespace {

bool onWindows() { return platform::kPathSeparator == '\\'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The part of a path that ".." never climbs above: "/", "C:\", "C:",
// "\\server\share\" or "\"; "" for a relative path.
std::size_t rootLength(std::string_view path) {
  if (!onWindows()) return path.starts_with('/') ? 1 : 0;
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

// The folder that holds `path` by its text, or "" above the root.
std::string parentText(const std::string& path) {
  std::size_t end = path.size();
  const std::size_t root = rootLength(path);
  while (end > root && platform::isSeparator(path[end - 1])) --end;
  if (end <= root) return {};
  std::size_t cut = end;
  while (cut > root && !platform::isSeparator(path[cut - 1])) --cut;
  if (cut == 0) return end == 1 && path[0] == '.' ? std::string() : std::string(".");
  if (cut <= root) return path.substr(0, root);
  return path.substr(0, cut - 1);
}

// The path and every folder above it, by its text and, from its deepest
// existing part, by the path the system holds for that folder (links
// resolved), so that a folder reached through a link still shows where it is.
std::vector<std::string> foldersAbove(const std::string& path) {
  std::vector<std::string> chain;
  std::string existing;
  for (std::string p = path; !p.empty() && chain.size() < 4096; p = parentText(p)) {
    if (existing.empty() && platform::pathInfo(p).kind == platform::PathKind::folder) existing = p;
    chain.push_back(p);
  }
  if (!existing.empty()) {
    std::string final = platform::finalFolderPath(existing);
    for (std::string p = final; !p.empty() && chain.size() < 8192; p = parentText(p)) {
      chain.push_back(p);
    }
  }
  return chain;
}

bool anyIsFolder(const std::vector<std::string>& paths, const platform::PathIdentity& folder) {
  for (const std::string& path : paths) {
    platform::PathIdentity identity;
    if (platform::folderIdentity(path, identity) && identity == folder) return true;
  }
  return false;
}

}  // namespace

std::string resolveTypedPath(std::string_view typed) {
  if (typed.empty()) return {};
  std::string path(typed);
  const bool windows = onWindows();
  if (windows) {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    // The long form is taken literally by the system: nothing to resolve.
    if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) return path;
  }
  const char separator = platform::kPathSeparator;
  const std::size_t root = rootLength(path);
  const bool trailing = path.size() > root && platform::isSeparator(path.back());
  std::vector<std::string> names;
  std::size_t start = root;
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !platform::isSeparator(path[end])) ++end;
    std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!names.empty() && names.back() != "..") {
        names.pop_back();
      } else if (root == 0) {
        names.push_back(name);  // above a relative path's start: kept
      }
      continue;
    }
    // The shell drops one trailing dot of a name ("dst." is "dst"); a name of
    // dots only is a name of its own.
    if (windows && name.size() > 1 && name.back() == '.' && name[name.size() - 2] != '.' &&
        name.find_first_not_of('.') != std::string::npos) {
      name.pop_back();
    }
    names.push_back(std::move(name));
  }
  if (windows && !trailing && !names.empty() && names.back() != "..") {
    std::string& last = names.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) names.pop_back();
  }
  std::string result = path.substr(0, root);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) result += separator;
    result += names[i];
  }
  if (result.empty()) result = ".";
  if (trailing && !names.empty()) result += separator;
  return result;
}

bool targetOverlapsSource(std::string_view source, std::string_view target) {
  return resolvedFoldersOverlap(resolveTypedPath(source), resolveTypedPath(target));
}

bool resolvedFoldersOverlap(const std::string& sourcePath, const std::string& targetPath) {
  platform::PathIdentity sourceFolder;
  if (targetPath.empty() || !platform::folderIdentity(sourcePath, sourceFolder)) return false;
  // The target is the source or lies inside it when the source is the target
  // or one of the folders above it (the first that exist decide).
  if (anyIsFolder(foldersAbove(targetPath), sourceFolder)) return true;
  // It contains the source when it is one of the folders above the source.
  platform::PathIdentity targetFolder;
  return platform::folderIdentity(targetPath, targetFolder) &&
         anyIsFolder(foldersAbove(sourcePath), targetFolder);
}

}  // namespace engine
