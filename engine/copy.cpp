// The recursive folder copy, the copy thread's body and the target path.
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/descent.h"
#include "engine/engine.h"
#include "engine/path_text.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "platform/tree.h"

namespace engine {
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

// Names that a file system ignoring letter case could take for one another
// fold to the same text: ASCII letters to lower case, and every byte of a
// non-ASCII character to one mark, so that "été" and "ÉTÉ" meet too. Meeting
// here only asks the file system whether the two really are one.
std::string foldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    } else if ((static_cast<unsigned char>(c) & 0x80) != 0) {
      c = '\x80';
    }
  }
  return folded;
}

// The names already copied into one target folder, by their folded form.
using CopiedNames = std::unordered_map<std::string, std::vector<std::string>>;

// One copy in progress: the paths of the folder being copied grow and shrink
// in place as the walk goes down and up the tree.
struct TreeCopy {
  std::string pattern;
  unsigned flags = 0;
  const FailedElementHandler* onFailed = nullptr;
  bool haveTargetIdentity = false;
  platform::PathIdentity targetIdentity;  // the top target folder
  std::string topTarget;                  // its path, ending with a separator
  std::string sourcePath;                 // the folder being copied, ending with a separator
  std::string targetPath;                 // its copy, ending with a separator
  int result = 1;
  bool stopped = false;
  bool targetGone = false;  // the top target folder vanished: nothing more can arrive
  // The bytes that have landed in the target, for a job's progress: the
  // chunks of the file in flight count as they are written (the platform's
  // ChunkCounter), and once a file is done the count holds exactly its size,
  // or nothing of it when it failed.
  std::atomic<std::int64_t>* landed = nullptr;
};

void settleLanded(const TreeCopy& copy, std::int64_t before, std::uint64_t fileBytes) {
  if (copy.landed != nullptr) copy.landed->store(before + static_cast<std::int64_t>(fileBytes));
}

// A source folder on the branch being copied (its identity is the source
// folder's, for the cycle guard).
struct Level : BranchLevel {
  std::size_t sourceLength = 0;
  std::size_t targetLength = 0;
  CopiedNames copiedFolders;
};

void failElement(TreeCopy& copy, const std::string& sourcePath, const FailureReason& reason) {
  copy.result = 0;
  if (copy.onFailed != nullptr && *copy.onFailed) (*copy.onFailed)(sourcePath, reason);
}

constexpr FailureReason kDestinationGone{platform::FailureCause::destinationGone, 0};

// Asked after a write into the target failed: true when the top target folder
// is no longer the folder the copy made or found there (removed, renamed, its
// volume unmounted or pulled out). Every later file would fail too, each one
// perhaps after a long wait for a device that is not coming back, so the copy
// stops. A full volume or one refused file leaves the folder in place, and the
// copy goes on with what still fits.
bool targetVanished(TreeCopy& copy) {
  if (copy.targetGone) return true;
  if (!copy.haveTargetIdentity) return false;
  platform::PathIdentity now;
  copy.targetGone = !platform::folderIdentity(copy.topTarget, now) || !(now == copy.targetIdentity);
  return copy.targetGone;
}

// True when `targetFile` is, on the target's file system, the same file or
// folder as one copied there just before under another name: two source
// names that differ only in letter case, on a target that ignores it.
bool landsOnAnEarlierCopy(const std::string& targetFolder, const std::string& targetFile,
                          const std::vector<std::string>& earlierNames) {
  platform::PathIdentity landing;
  if (!platform::pathIdentity(targetFile, landing)) return false;
  for (const std::string& name : earlierNames) {
    platform::PathIdentity earlier;
    if (platform::pathIdentity(targetFolder + name, earlier) && earlier == landing) return true;
  }
  return false;
}

// Why a file that the copy could not copy failed, from the error number
// copyWholeFile gave: none means the copy itself found the file changed while
// it was read; a link that leads nowhere is a link without its target.
FailureReason fileFailure(const platform::TreeEntry& entry, std::uint32_t error) {
  if (error == 0) return {platform::FailureCause::changedDuringCopy, 0};
  FailureReason reason = reasonOfError(error);
  if (entry.link && reason.cause == platform::FailureCause::notFound) {
    reason.cause = platform::FailureCause::danglingLink;
  }
  return reason;
}

// With the target gone, what the listing still holds is not copied: each file
// is a failed element, and so is each sub-folder (one element with everything
// below it), the ones already listed included. Reading the rest of a listing
// costs no writes and no waits on the vanished target.
void failRestOfListing(TreeCopy& copy, platform::FolderListing& listing, Level& level) {
  platform::TreeEntry entry;
  while (listing.next(entry)) {
    if (entry.folder) {
      if (entry.link || (copy.flags & kRecurse) == 0) continue;
      level.subfolders.push_back(std::move(entry.name));
      continue;
    }
    failElement(copy, copy.sourcePath + entry.name, kDestinationGone);
  }
  for (const std::string& name : level.subfolders) {
    failElement(copy, copy.sourcePath + name + platform::kPathSeparator, kDestinationGone);
  }
  level.subfolders.clear();
}

// Copies the files of the folder at copy.sourcePath into copy.targetPath and
// returns its sub-folders still to be copied.
Level copyOneFolder(TreeCopy& copy, const std::vector<Level>& branch) {
  Level level;
  level.sourceLength = copy.sourcePath.size();
  level.targetLength = copy.targetPath.size();
  platform::FolderListing listing;
  if (const platform::TreeResult opened =
          listing.open(copy.sourcePath, copy.pattern, platform::ListingDetail::kinds);
      !opened) {
    failElement(copy, copy.sourcePath, reasonOfError(opened.error));  // nothing is created for it
    return level;
  }
  // Whatever the listing called it, a folder already on this branch (reached
  // again through a link the listing did not show as one), or the target
  // itself, is not copied into itself.
  level.haveIdentity = listing.identity(level.identity);
  if (level.haveIdentity && ((copy.haveTargetIdentity && level.identity == copy.targetIdentity) ||
                             onBranch(branch, level.identity))) {
    failElement(copy, copy.sourcePath, reasonOfError(platform::linkLoopError()));
    level.haveIdentity = false;
    return level;
  }
  const std::string_view bareTarget = withoutSeparators(copy.targetPath);
  // Held open while it is filled: its files are made relative to it.
  platform::TargetFolder targetFolder;
  const platform::TreeOutcome<platform::FolderCreation> creation = targetFolder.create(bareTarget);
  if (creation == platform::FolderCreation::failed) {
    failElement(copy, copy.sourcePath,
                targetVanished(copy) ? kDestinationGone : reasonOfError(creation.error));
    return level;
  }
  if (branch.empty()) {
    // The target exists from here on. A bind mount or the like could still
    // show it inside the source's tree; and a copy that later finds it gone
    // knows the destination went away.
    copy.haveTargetIdentity = platform::folderIdentity(copy.targetPath, copy.targetIdentity);
  }
  // A folder made just now holds nothing: no leftovers to clear. In an
  // earlier one, a leftover is only removed when no source file bears its name.
  const bool fresh = creation == platform::FolderCreation::created;
  if (!fresh) platform::removeLeftoverCopies(copy.targetPath, copy.sourcePath);

  const bool replaceProtected = (copy.flags & kResetTargetAttributes) != 0;
  CopiedNames copiedFiles;
  platform::TreeEntry entry;
  std::string sourceFile;
  std::string targetFile;
  while (listing.next(entry)) {
    if (entry.folder) {
      // Links to folders are not followed: one pointing at a parent would
      // never end.
      if (entry.link || (copy.flags & kRecurse) == 0) continue;
      level.subfolders.push_back(std::move(entry.name));
      continue;
    }
    if (!platform::threadCheckpoint()) {
      copy.stopped = true;
      return level;
    }
    sourceFile.assign(copy.sourcePath).append(entry.name);
    targetFile.assign(copy.targetPath).append(entry.name);
    std::vector<std::string>& sameFold = copiedFiles[foldedName(entry.name)];
    if (!sameFold.empty() && landsOnAnEarlierCopy(copy.targetPath, targetFile, sameFold)) {
      // It would silently replace its twin.
      failElement(copy, sourceFile, {platform::FailureCause::caseClash, 0});
      continue;
    }
    const std::int64_t landedBefore = copy.landed != nullptr ? copy.landed->load() : 0;
    const platform::TreeOutcome<platform::FileCopy> copied =
        platform::copyWholeFile(listing, entry.name, targetFolder, entry.name, replaceProtected);
    switch (copied.outcome) {
      case platform::FileCopy::copied:
        settleLanded(copy, landedBefore, entry.size);
        sameFold.push_back(entry.name);
        break;
      case platform::FileCopy::failed:
        settleLanded(copy, landedBefore, 0);
        // Skipped; the rest is still copied.
        if (targetVanished(copy)) {
          failElement(copy, sourceFile, kDestinationGone);
          failRestOfListing(copy, listing, level);
          return level;
        }
        failElement(copy, sourceFile, fileFailure(entry, copied.error));
        break;
      case platform::FileCopy::stopped:
        copy.stopped = true;
        return level;
    }
  }
  return level;
}

// After a folder's own files: false when the copy ends there, stopped or
// with its target gone. With the target gone, the sub-folders still waiting
// on the branch are not copied either, each one an element with everything
// below it.
bool goesOn(TreeCopy& copy, const std::vector<Level>& levels) {
  if (copy.stopped) return false;
  if (!copy.targetGone) return true;
  for (const Level& level : levels) {
    for (std::size_t i = level.nextIndex; i < level.subfolders.size(); ++i) {
      failElement(copy,
                  copy.sourcePath.substr(0, level.sourceLength) + level.subfolders[i] +
                      platform::kPathSeparator,
                  kDestinationGone);
    }
  }
  return false;
}

// copyFolderTree for folders already resolved as typed paths.
int copyResolvedTree(const std::string& source, const std::string& target, std::string_view pattern,
                     unsigned flags, const FailedElementHandler& onFailed,
                     std::atomic<std::int64_t>* landed = nullptr) {
  if (source.empty() || target.empty()) return 0;
  TreeCopy copy;
  copy.landed = landed;
  copy.pattern = pattern.empty() ? std::string_view("*.*") : pattern;
  copy.flags = flags;
  copy.onFailed = &onFailed;
  copy.sourcePath = withSeparator(source);
  copy.targetPath = withSeparator(target);
  // A target that is the source, lies inside it or holds it would be copied
  // into itself or overwrite the source's own files: refused before anything
  // is written.
  if (resolvedFoldersOverlap(copy.sourcePath, copy.targetPath)) return 0;

  // Depth first: each folder's files are copied while its listing is read,
  // then its sub-folders one after the other.
  copy.topTarget = copy.targetPath;
  // Each source folder is opened relative to its parent, held open.
  const platform::ListingBranch branch;
  std::vector<Level> levels;
  levels.push_back(copyOneFolder(copy, levels));
  if (!goesOn(copy, levels)) return copy.stopped ? 0 : copy.result;
  const bool walked = descendDepthFirst(levels, [&](Level& parent, const std::string& name) {
    copy.sourcePath.resize(parent.sourceLength);
    copy.sourcePath.append(name).push_back(platform::kPathSeparator);
    copy.targetPath.resize(parent.targetLength);
    copy.targetPath.append(name);
    // Two source folders whose names differ only in letter case would merge
    // into one on a target that ignores it, the second's files replacing the
    // first's.
    std::vector<std::string>& sameFold = parent.copiedFolders[foldedName(name)];
    if (!sameFold.empty() && landsOnAnEarlierCopy(copy.targetPath.substr(0, parent.targetLength),
                                                  copy.targetPath, sameFold)) {
      failElement(copy, copy.sourcePath, {platform::FailureCause::caseClash, 0});
      return true;
    }
    sameFold.push_back(name);
    copy.targetPath.push_back(platform::kPathSeparator);
    levels.push_back(copyOneFolder(copy, levels));
    return goesOn(copy, levels);
  });
  // A stop asked between two folders.
  if (!walked && !copy.targetGone) copy.stopped = true;
  return copy.stopped ? 0 : copy.result;
}

}  // namespace

int copyFolderTree(std::string_view source, std::string_view target, std::string_view pattern,
                   unsigned flags, const FailedElementHandler& onFailed) {
  return copyResolvedTree(resolveTypedPath(source), resolveTypedPath(target), pattern, flags,
                          onFailed);
}

int copyChosenFolder(std::string_view source, std::string_view destination,
                     const FailedElementHandler& onFailed) {
  // "Photos/sub/.." names Photos, and the copy must land under that name.
  const std::string resolvedSource = resolveTypedPath(source);
  const std::string target = copyTargetPath(resolveTypedPath(destination), resolvedSource);
  if (target.empty()) return 0;
  return copyResolvedTree(resolvedSource, target, "*.*", kRecurse | kResetTargetAttributes,
                          onFailed);
}

int copyThreadMain(const std::string& source, const std::string& target,
                   const FailedElementHandler& onFailed, std::atomic<std::int64_t>* landedBytes) {
  std::atomic<std::int64_t> unused{0};
  const platform::ChunkCounter chunks(landedBytes != nullptr ? *landedBytes : unused);
  // The outcome is not reported from here: the verification that follows the
  // copy compares the two trees.
  copyResolvedTree(source, target, "*.*", kRecurse | kResetTargetAttributes, onFailed, landedBytes);
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

}  // namespace engine
