#pragma once
// A path's root and names by its text alone, without asking the system: the
// one rule for where a path's root ends, and the one folding of its names,
// shared by the typed paths the user gives and the Win32 backend's long form.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The part of a path that ".." never climbs above: "/" on POSIX; on Windows
// "C:\", "C:", "\" or, for a network path, its server and share
// ("\\server\share\", or the whole "\\server" when it names no share); 0 for
// a relative path. Windows paths are read with '\' separators only.
std::size_t pathRootLength(std::string_view path);

// A path cut at its separators: the root as written, then its names with "."
// and empty names (doubled separators) dropped and each ".." taking the name
// before it away. A ".." that would climb above the root is dropped on a
// rooted path and kept on a relative one. `trailing` tells that the path ends
// with a separator after its root.
struct PathNames {
  std::string root;
  std::vector<std::string> names;
  bool trailing = false;
};
PathNames cutPathNames(std::string_view path);

}  // namespace platform
