// The recursive folder copy, the copy thread's body and the target path.
#include <string>
#include <utility>
#include <vector>

#include "app/state.h"
#include "copyjob/copyjob.h"
#include "copyjob/path_text.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "platform/tree.h"
#include "platform/ui.h"

namespace copyjob {
namespace {

std::string_view withoutSeparators(std::string_view path) {
  while (path.size() > 1 && platform::isSeparator(path.back())) path.remove_suffix(1);
  return path;
}

std::string_view lastName(std::string_view path) {
  path = withoutSeparators(path);
  std::size_t start = path.size();
  while (start > 0 && !platform::isSeparator(path[start - 1])) --start;
  return path.substr(start);
}

bool sameNameIgnoringCase(std::string_view first, std::string_view second) {
  if (first.size() != second.size()) return false;
  for (std::size_t i = 0; i < first.size(); ++i) {
    char a = first[i];
    char b = second[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// One copy in progress: the paths of the folder being copied grow and shrink
// in place as the walk goes down and up the tree.
struct TreeCopy {
  std::string pattern;
  unsigned flags = 0;
  std::string topTarget;      // the target folder, without a trailing separator
  std::string topTargetName;  // its last name, to spot it inside the source
  std::string sourcePath;     // the folder being copied, ending with a separator
  std::string targetPath;     // its copy, ending with a separator
  int result = 1;
  bool stopped = false;
  std::vector<std::string>* failed = nullptr;

  void fail(std::string_view path) {
    result = 0;
    if (failed) failed->emplace_back(path);
  }
};

struct Level {
  std::vector<std::string> subfolders;
  std::size_t nextIndex = 0;
  std::size_t sourceLength = 0;
  std::size_t targetLength = 0;
};

// When the destination lies inside the source, the walk meets the copy it is
// making; entering it would copy the copy again, deeper each time.
bool isTheTargetItself(const TreeCopy& copy, const std::string& name) {
  return sameNameIgnoringCase(name, copy.topTargetName) &&
         platform::sameFolder(copy.sourcePath + name, copy.topTarget);
}

// Copies the files of the folder at copy.sourcePath into copy.targetPath and
// returns its sub-folders still to be copied.
Level copyOneFolder(TreeCopy& copy) {
  Level level;
  level.sourceLength = copy.sourcePath.size();
  level.targetLength = copy.targetPath.size();
  platform::FolderListing listing;
  if (!listing.open(copy.sourcePath, copy.pattern, platform::ListingDetail::kinds)) {
    copy.fail(copy.sourcePath);  // nothing is created for a source that cannot be listed
    return level;
  }
  const std::string_view bareTarget = withoutSeparators(copy.targetPath);
  const platform::FolderCreation creation = platform::createFolder(bareTarget);
  if (creation == platform::FolderCreation::failed) {
    copy.fail(copy.sourcePath);
    return level;
  }
  // A folder made just now holds nothing: no leftovers to clear, no target
  // file whose attributes would need resetting.
  const bool fresh = creation == platform::FolderCreation::created;
  if (!fresh) platform::removeLeftoverCopies(copy.targetPath);

  platform::TreeEntry entry;
  std::string sourceFile;
  std::string targetFile;
  while (listing.next(entry)) {
    if (entry.folder) {
      // Links to folders are not followed: one pointing at a parent would
      // never end.
      if (entry.link || (copy.flags & kRecurse) == 0) continue;
      if (copy.topTargetName.size() == entry.name.size() && isTheTargetItself(copy, entry.name)) {
        continue;
      }
      level.subfolders.push_back(std::move(entry.name));
      continue;
    }
    if (!platform::threadCheckpoint()) {
      copy.stopped = true;
      return level;
    }
    sourceFile.assign(copy.sourcePath).append(entry.name);
    targetFile.assign(copy.targetPath).append(entry.name);
    if ((copy.flags & kResetTargetAttributes) != 0 && !fresh) platform::makeNormal(targetFile);
    switch (platform::copyWholeFile(sourceFile, targetFile)) {
      case platform::FileCopy::copied:
        break;
      case platform::FileCopy::failed:
        copy.fail(sourceFile);  // skipped; the rest is still copied
        break;
      case platform::FileCopy::stopped:
        copy.stopped = true;
        return level;
    }
  }
  return level;
}

}  // namespace

int copyFolderTree(std::string_view source, std::string_view target, std::string_view pattern,
                   unsigned flags, std::vector<std::string>* failed) {
  if (source.empty() || target.empty()) return 0;
  TreeCopy copy;
  copy.failed = failed;
  copy.pattern = pattern.empty() ? std::string_view("*.*") : pattern;
  copy.flags = flags;
  copy.topTarget = withoutSeparators(target);
  copy.topTargetName = lastName(target);
  copy.sourcePath = withSeparator(source);
  copy.targetPath = withSeparator(target);
  // Copying a folder onto itself would only rewrite every file with itself.
  if (platform::sameFolder(copy.sourcePath, copy.targetPath)) return 1;

  // Depth first, without recursion: each folder's files are copied while its
  // listing is read, then its sub-folders, which waited by name on this stack,
  // one after the other. Only one listing is open at a time.
  std::vector<Level> levels;
  levels.push_back(copyOneFolder(copy));
  while (!levels.empty() && !copy.stopped) {
    Level& level = levels.back();
    if (level.nextIndex == level.subfolders.size()) {
      levels.pop_back();
      continue;
    }
    if (!platform::threadCheckpoint()) {
      copy.stopped = true;
      break;
    }
    const std::string name = std::exchange(level.subfolders[level.nextIndex], std::string());
    ++level.nextIndex;
    copy.sourcePath.resize(level.sourceLength);
    copy.sourcePath.append(name).push_back(platform::kPathSeparator);
    copy.targetPath.resize(level.targetLength);
    copy.targetPath.append(name).push_back(platform::kPathSeparator);
    levels.push_back(copyOneFolder(copy));
  }
  return copy.stopped ? 0 : copy.result;
}

int copyThreadMain([[maybe_unused]] int parameter) {
  const std::string source = platform::getText(app::kSourceField);
  const std::string destination = platform::getText(app::kDestinationField);
  const std::string target = copyTargetPath(destination, source);
  // The outcome is not reported from here: the verification that follows the
  // copy compares the two trees.
  if (!target.empty()) copyFolderTree(source, target, "*.*", kRecurse | kResetTargetAttributes);
  return 0;
}

std::string jobFolderName(std::string_view source) {
  if (source.empty()) return {};
  std::string_view name = lastName(source);
  if (name.empty() || platform::isSeparator(name[0])) return std::string(kRootFolderName);
  // A drive root names no folder, and ':' cannot stand in a folder name on
  // Windows: the copy of "D:\" lands under the drive letter.
  if (platform::kPathSeparator == '\\' && name.size() == 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
    name.remove_suffix(1);
  }
  return std::string(name);
}

std::string copyTargetPath(std::string_view destination, std::string_view source) {
  const std::string name = jobFolderName(source);
  if (destination.empty() || name.empty()) return {};
  std::string path = withSeparator(destination);
  path += name;
  path += platform::kPathSeparator;
  return path;
}

}  // namespace copyjob
