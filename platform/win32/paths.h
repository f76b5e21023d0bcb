#pragma once
// The one way the Win32 backend turns a program path into a path for the wide
// file functions.
#include <string>
#include <string_view>

namespace platform::win32 {

// The long form ("\\?\C:\..." or "\\?\UNC\server\share\..."), made absolute,
// with '/' turned into '\', doubled separators folded and "." and ".."
// resolved; a bare drive ("E:") is its root. Nothing is cut to 260 characters.
std::wstring longPath(std::string_view utf8);

}  // namespace platform::win32
