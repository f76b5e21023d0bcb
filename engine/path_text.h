#pragma once
// Path text helpers shared by the walks and the copy (the controller resolves the job's folders
// with them too).
#include <string>
#include <string_view>

#include "platform/files.h"

namespace engine {

// The folder with one separator at its end ("" stays "").
inline std::string withSeparator(std::string_view folder) {
  std::string path(folder);
  if (!path.empty() && !platform::isSeparator(path.back())) path += platform::kPathSeparator;
  return path;
}

// targetOverlapsSource for paths already resolved (resolveTypedPath): the
// job's folders are resolved once, when the job starts.
bool resolvedFoldersOverlap(const std::string& sourcePath, const std::string& targetPath);

}  // namespace engine
