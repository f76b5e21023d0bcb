#pragma once
// The depth-first descent that the walks and the copy share. Each folder's
// listing is read to its end and closed before any of its sub-folders is
// entered; the sub-folders wait by name on an explicit stack of levels, one
// level per folder on the current branch. So one listing is open at a time,
// however deep the tree, no thread stack grows with it, and the memory held
// is the names still waiting along the branch.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/threads.h"
#include "platform/tree.h"

namespace engine {

// What the descent keeps of each folder on the branch; a walk's own level
// adds its path lengths and whatever else it needs.
struct BranchLevel {
  std::vector<std::string> subfolders;  // waiting, by name
  std::size_t nextIndex = 0;            // the next one to enter
  bool haveIdentity = false;
  platform::PathIdentity identity;  // of the folder, for the guard below
};

// True when a folder of that identity is already on the branch: reached again
// through a link the listing did not show as one, it is not walked twice.
template <class Level>
bool onBranch(const std::vector<Level>& levels, const platform::PathIdentity& identity) {
  for (const Level& above : levels) {
    if (above.haveIdentity && above.identity == identity) return true;
  }
  return false;
}

// Enters the waiting sub-folders of `levels` (the top folder's level already
// on it), deepest branch first: for each, after a thread checkpoint, calls
// `enter(parent, name)`, which lists the sub-folder and pushes its level (or
// leaves it out) and returns false to end the descent. The parent reference
// is only good until `enter` pushes. A level is dropped once its sub-folders
// have all been entered, and each name is released as it is entered. True
// when the whole tree was walked; false when a checkpoint asked the thread to
// stop or `enter` ended the descent.
template <class Level, class Enter>
bool descendDepthFirst(std::vector<Level>& levels, Enter&& enter) {
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextIndex == level.subfolders.size()) {
      levels.pop_back();
      continue;
    }
    if (!platform::threadCheckpoint()) return false;
    const std::string name = std::exchange(level.subfolders[level.nextIndex], std::string());
    ++level.nextIndex;
    if (!enter(level, name)) return false;
  }
  return true;
}

}  // namespace engine
