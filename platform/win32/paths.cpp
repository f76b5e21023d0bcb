#include "platform/win32/paths.h"

#include <windows.h>

#include <string>

#include "platform/path_names.h"
#include "platform/win32/text.h"

namespace platform::win32 {

// The long form passes the text to the file system untouched: separators must
// be backslashes, a doubled one (a destination typed with a trailing
// backslash, then joined with another) would not be read as one, and "." and
// ".." are not resolved. So the path is put in order here first.
std::wstring longPath(std::string_view utf8) {
  std::string path(utf8);
  if (path.empty()) return {};
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) return widen(path);
  // A bare drive is its root here, not the drive's current folder.
  if (path.size() == 2 && path[1] == ':') path += '\\';
  const bool absolute = path.starts_with("\\\\") || pathRootLength(path) == 3;
  if (!absolute) {
    const std::wstring wide = widen(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    path = narrow(full);
  }
  const PathNames cut = cutPathNames(path);
  std::string result =
      cut.root.starts_with("\\\\") ? "\\\\?\\UNC\\" + cut.root.substr(2) : "\\\\?\\" + cut.root;
  for (std::size_t i = 0; i < cut.names.size(); ++i) {
    if (i > 0) result += '\\';
    result += cut.names[i];
  }
  if (result.back() != '\\' && (cut.trailing || cut.names.empty())) result += '\\';
  return widen(result);
}

}  // namespace platform::win32
