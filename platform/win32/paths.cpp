#include "platform/win32/paths.h"

#include <windows.h>

#include <vector>

#include "platform/win32/text.h"

namespace platform::win32 {

// The long form passes the text to the file system untouched: separators must
// be backslashes, a doubled one (a destination typed with a trailing
// backslash, then joined with another) would not be read as one, and "." and
// ".." are not resolved. So the path is put in order here first.
std::wstring longPath(std::string_view utf8) {
  std::wstring path = widen(utf8);
  if (path.empty()) return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  // A bare drive is its root here, not the drive's current folder.
  if (path.size() == 2 && path[1] == L':') path += L'\\';
  bool unc = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\';
  const bool absolute = unc || (path.size() >= 3 && path[1] == L':' && path[2] == L'\\');
  if (!absolute) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    path = std::move(full);
    unc = path.starts_with(L"\\\\");
  }
  const bool trailing = path.back() == L'\\';
  std::vector<std::wstring_view> parts;
  const std::wstring_view rest = std::wstring_view(path).substr(unc ? 2 : 0);
  const std::size_t fixedParts = unc ? 2 : 1;  // server and share, or the drive
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find(L'\\', start);
    if (end == std::wstring_view::npos) end = rest.size();
    const std::wstring_view part = rest.substr(start, end - start);
    if (part.empty() || part == L".") {
      // skipped
    } else if (part == L"..") {
      if (parts.size() > fixedParts) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::wstring result = unc ? L"\\\\?\\UNC\\" : L"\\\\?\\";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += L'\\';
    result += parts[i];
  }
  if (trailing || parts.size() <= fixedParts) result += L'\\';
  return result;
}

}  // namespace platform::win32
