// Typed paths put in the shell's form, and the test that keeps a copy out of
// its own source.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/path_text.h"
#include "platform/files.h"
#include "platform/path_names.h"
#include "platform/tree.h"

namespace engine {
namespace {

bool onWindows() { return platform::kPathSeparator == '\\'; }

// The folder that holds `path` by its text, or "" above the root.
std::string parentText(const std::string& path) {
  std::size_t end = path.size();
  const std::size_t root = platform::pathRootLength(path);
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
  platform::PathNames cut = platform::cutPathNames(path);
  std::vector<std::string>& names = cut.names;
  if (windows) {
    // The shell drops one trailing dot of a name ("dst." is "dst"); a name of
    // dots only is a name of its own.
    for (std::string& name : names) {
      if (name.size() > 1 && name.back() == '.' && name[name.size() - 2] != '.' &&
          name.find_first_not_of('.') != std::string::npos) {
        name.pop_back();
      }
    }
    // And, unless the path ends with a separator, the trailing dots and
    // blanks of its last name.
    if (!cut.trailing && !names.empty() && names.back() != "..") {
      std::string& last = names.back();
      while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
      if (last.empty()) names.pop_back();
    }
  }
  const char separator = platform::kPathSeparator;
  std::string result = std::move(cut.root);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) result += separator;
    result += names[i];
  }
  if (result.empty()) result = ".";
  if (cut.trailing && !names.empty()) result += separator;
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
