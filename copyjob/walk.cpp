// The element count and the total-size walk over a folder tree.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "copyjob/copyjob.h"
#include "copyjob/path_text.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "platform/tree.h"

namespace copyjob {
namespace {

void walkTree(std::string_view top, std::string_view pattern, platform::ListingDetail detail,
              const std::function<void(const platform::TreeEntry&)>& onEntry) {
  // Each folder's listing is read to its end and closed before any of its
  // sub-folders is entered; the sub-folders wait by name on this explicit
  // stack. So one listing is open at a time, however deep the tree, and the
  // memory held is the names still waiting along the current branch.
  struct Level {
    std::vector<std::string> subfolders;
    std::size_t nextIndex = 0;
    std::size_t pathLength = 0;
    bool haveIdentity = false;
    platform::PathIdentity identity;
  };
  std::string path = withSeparator(top);
  std::vector<Level> levels;
  const platform::ListingBranch branch;
  const auto listFolder = [&] {
    Level level;
    level.pathLength = path.size();
    platform::FolderListing listing;
    if (listing.open(path, pattern, detail)) {
      // A folder already on this branch (reached again through a link the
      // listing did not show as one) is not walked again.
      level.haveIdentity = listing.identity(level.identity);
      for (const Level& above : levels) {
        if (level.haveIdentity && above.haveIdentity && above.identity == level.identity) {
          levels.push_back(Level{});
          return;
        }
      }
      platform::TreeEntry entry;
      while (listing.next(entry)) {
        if (entry.folder && entry.link) continue;
        onEntry(entry);
        if (entry.folder) level.subfolders.push_back(std::move(entry.name));
      }
    }
    levels.push_back(std::move(level));
  };
  listFolder();
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextIndex == level.subfolders.size()) {
      levels.pop_back();
      continue;
    }
    if (!platform::threadCheckpoint()) return;
    path.resize(level.pathLength);
    path += level.subfolders[level.nextIndex];
    path += platform::kPathSeparator;
    // The name is not needed any more; release it while the branch goes deeper.
    std::string().swap(level.subfolders[level.nextIndex]);
    ++level.nextIndex;
    listFolder();
  }
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

TreeTotals treeTotals(std::string_view folder) {
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
  });
  totals.bytes = static_cast<std::int64_t>(bytes);
  return totals;
}

}  // namespace copyjob
