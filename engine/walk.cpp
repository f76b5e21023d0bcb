// The element count and the total-size walk over a folder tree.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/descent.h"
#include "engine/engine.h"
#include "engine/path_text.h"
#include "platform/files.h"
#include "platform/tree.h"

namespace engine {
namespace {

void walkTree(std::string_view top, std::string_view pattern, platform::ListingDetail detail,
              const std::function<void(const platform::TreeEntry&)>& onEntry) {
  struct Level : BranchLevel {
    std::size_t pathLength = 0;
  };
  std::string path = withSeparator(top);
  std::vector<Level> levels;
  const platform::ListingBranch branch;
  const auto listFolder = [&] {
    Level level;
    level.pathLength = path.size();
    platform::FolderListing listing;
    if (!listing.open(path, pattern, detail)) return;
    level.haveIdentity = listing.identity(level.identity);
    if (level.haveIdentity && onBranch(levels, level.identity)) return;
    platform::TreeEntry entry;
    while (listing.next(entry)) {
      if (entry.folder && entry.link) continue;
      onEntry(entry);
      if (entry.folder) level.subfolders.push_back(std::move(entry.name));
    }
    levels.push_back(std::move(level));
  };
  listFolder();
  descendDepthFirst(levels, [&](const Level& parent, const std::string& name) {
    path.resize(parent.pathLength);
    path += name;
    path += platform::kPathSeparator;
    listFolder();
    return true;
  });
}

}  // namespace

std::int32_t countElements([[maybe_unused]] int level, std::string_view folder,
                           const ElementCountHandler& onCount) {
  std::int32_t files = 0;
  std::int32_t folders = 0;
  walkTree(folder, "*.*", platform::ListingDetail::kinds, [&](const platform::TreeEntry& entry) {
    if (entry.folder) {
      ++folders;
    } else {
      ++files;
    }
    if (onCount) onCount(files, folders);
  });
  return files + folders;
}

std::int64_t folderTotalSize(std::string_view folder, std::string_view pattern) {
  std::uint64_t total = 0;
  walkTree(folder, pattern.empty() ? "*.*" : pattern, platform::ListingDetail::sizes,
           [&](const platform::TreeEntry& entry) {
             if (!entry.folder) total += entry.size;
           });
  return static_cast<std::int64_t>(total);
}

TreeTotals treeTotals(std::string_view folder, const ElementCountHandler& onCount) {
  TreeTotals totals;
  totals.found = platform::pathInfo(folder).kind == platform::PathKind::folder;
  std::uint64_t bytes = 0;
  walkTree(folder, "*.*", platform::ListingDetail::sizes, [&](const platform::TreeEntry& entry) {
    if (entry.folder) {
      ++totals.folders;
    } else {
      ++totals.files;
      bytes += entry.size;
    }
    if (onCount) {
      onCount(static_cast<std::int32_t>(totals.files), static_cast<std::int32_t>(totals.folders));
    }
  });
  totals.bytes = static_cast<std::int64_t>(bytes);
  return totals;
}

}  // namespace engine
