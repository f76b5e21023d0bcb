// The folder listing on Win32, measured against the system's own
// FindFirstFileExW on the same folders: the same entries in the same order,
// with their kinds and sizes, however many reads a large folder takes; the
// same refusals with the same error numbers; and the identity the listing
// gives for its folder, inside a walk and outside, the same as by path.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tree.h"
#include "platform/win32/text.h"
#include "wine_support.h"

namespace {

using platform::win32::narrow;
using platform::win32::widen;

std::wstring wide(const std::string& path) { return winetest::longForm(path); }

bool makeFolder(const std::string& path) { return CreateDirectoryW(wide(path).c_str(), nullptr); }

bool writeFile(const std::string& path, std::size_t size) {
  return winetest::writeFile(path, std::string(size, 'x'));
}

struct Listed {
  std::string name;
  bool folder = false;
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;
  bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Listed& entry) {
  return out << entry.name << (entry.folder ? " (folder)" : "") << " " << entry.size << " bytes, "
             << entry.attributes;
}

// What FindFirstFileExW itself shows of `folder`, "." and ".." left out; the
// error number when it does not open.
std::vector<Listed> systemListing(const std::string& folder, DWORD& error) {
  std::vector<Listed> found;
  WIN32_FIND_DATAW data{};
  std::wstring specification = wide(folder);
  if (specification.back() != L'\\') specification += L'\\';
  specification += L"*.*";
  const HANDLE find = FindFirstFileExW(specification.c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  error = find == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    Listed entry;
    entry.name = narrow(name);
    entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = entry.folder
                     ? 0
                     : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.attributes = data.dwFileAttributes;
    found.push_back(entry);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return found;
}

std::vector<Listed> ourListing(const std::string& folder, std::string_view pattern,
                               platform::TreeResult& opened) {
  std::vector<Listed> found;
  platform::FolderListing listing;
  opened = listing.open(folder, pattern);
  platform::TreeEntry entry;
  while (opened && listing.next(entry)) {
    found.push_back({entry.name, entry.folder, entry.size, entry.attributes});
  }
  return found;
}

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = winetest::freshTempFolderName("ravelund-listing-");
    ASSERT_TRUE(makeFolder(root_));
  }
  void TearDown() override { removeTree(root_); }

  static void removeTree(const std::string& path) {
    DWORD error = 0;
    for (const Listed& entry : systemListing(path, error)) {
      const std::string child = path + "\\" + entry.name;
      if (entry.folder) {
        removeTree(child);
      } else {
        DeleteFileW(wide(child).c_str());
      }
    }
    RemoveDirectoryW(wide(path).c_str());
  }

  std::string root_;
};

TEST_F(ListingTest, AFolderTooLargeForOneReadIsListedAsTheSystemListsIt) {
  // 700 names of 120 characters and more: several reads of the file system.
  const std::string folder = root_ + "\\large";
  ASSERT_TRUE(makeFolder(folder));
  std::set<std::string> made;
  for (int i = 0; i < 700; ++i) {
    const std::string name =
        "fichier-" + std::to_string(i) + "-" + std::string(112, static_cast<char>('a' + i % 26));
    ASSERT_TRUE(writeFile(folder + "\\" + name, static_cast<std::size_t>(i % 9)));
    made.insert(name);
  }
  ASSERT_TRUE(makeFolder(folder + "\\dossier"));
  made.insert("dossier");
  ASSERT_TRUE(writeFile(folder + "\\sans point", 3));
  made.insert("sans point");
  SetFileAttributesW(wide(folder + "\\sans point").c_str(),
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

  DWORD error = 0;
  const std::vector<Listed> expected = systemListing(folder, error);
  ASSERT_EQ(error, 0u);
  ASSERT_EQ(expected.size(), made.size());
  platform::TreeResult opened;
  const std::vector<Listed> listed = ourListing(folder, "*.*", opened);
  ASSERT_TRUE(opened.ok);
  EXPECT_EQ(listed, expected);
  std::set<std::string> names;
  for (const Listed& entry : listed) names.insert(entry.name);
  EXPECT_EQ(names, made);
  // The empty pattern and "*" are every name too; a narrower pattern only
  // its own, in the same order.
  EXPECT_EQ(ourListing(folder, "", opened), expected);
  EXPECT_EQ(ourListing(folder, "*", opened), expected);
  std::vector<Listed> sevens;
  for (const Listed& entry : expected) {
    if (entry.name.starts_with("fichier-7")) sevens.push_back(entry);
  }
  EXPECT_EQ(ourListing(folder, "fichier-7*", opened), sevens);
  EXPECT_EQ(sevens.size(), 11u);  // 7, and 70 to 79
  SetFileAttributesW(wide(folder + "\\sans point").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ListingTest, EmptyFoldersOpenAndRootsListNeitherDotNorDotDot) {
  ASSERT_TRUE(makeFolder(root_ + "\\vide"));
  platform::TreeResult opened;
  EXPECT_TRUE(ourListing(root_ + "\\vide", "*.*", opened).empty());
  EXPECT_TRUE(opened.ok);

  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 2u);
  const std::string drive = narrow(std::wstring(windows, 2));  // "C:"
  DWORD error = 0;
  const std::vector<Listed> expected = systemListing(drive + "\\", error);
  ASSERT_EQ(error, 0u);
  EXPECT_FALSE(expected.empty());
  for (const std::string& root : {drive, drive + "\\"}) {
    const std::vector<Listed> listed = ourListing(root, "*.*", opened);
    EXPECT_TRUE(opened.ok) << root;
    EXPECT_EQ(listed, expected) << root;
  }
}

TEST_F(ListingTest, WhatCannotBeListedFailsWithTheSystemsOwnErrorNumber) {
  ASSERT_TRUE(writeFile(root_ + "\\fichier.txt", 5));
  for (const std::string& path :
       {root_ + "\\absent", root_ + "\\absent\\dessous", root_ + "\\fichier.txt",
        root_ + "\\fichier.txt\\dessous", root_ + "\\nom<interdit>"}) {
    DWORD expected = 0;
    systemListing(path, expected);
    EXPECT_NE(expected, 0u) << path;
    platform::TreeResult opened;
    EXPECT_TRUE(ourListing(path, "*.*", opened).empty()) << path;
    EXPECT_FALSE(opened.ok) << path;
    EXPECT_EQ(opened.error, expected) << path;
  }
}

TEST_F(ListingTest, TheListingsIdentityIsTheFoldersInsideAWalkAndOutside) {
  ASSERT_TRUE(makeFolder(root_ + "\\un"));
  ASSERT_TRUE(makeFolder(root_ + "\\un\\deux"));
  ASSERT_TRUE(makeFolder(root_ + "\\trois"));
  const std::vector<std::string> folders = {root_, root_ + "\\un", root_ + "\\un\\deux\\",
                                            root_ + "\\trois"};
  std::vector<platform::PathIdentity> byPath;
  for (const std::string& folder : folders) {
    platform::PathIdentity identity;
    ASSERT_TRUE(platform::folderIdentity(folder, identity)) << folder;
    byPath.push_back(identity);
  }
  for (std::size_t i = 0; i < byPath.size(); ++i) {
    for (std::size_t j = i + 1; j < byPath.size(); ++j) EXPECT_NE(byPath[i], byPath[j]);
  }
  const auto listedIdentities = [&] {
    std::vector<platform::PathIdentity> listed;
    for (const std::string& folder : folders) {
      platform::FolderListing listing;
      platform::PathIdentity identity;
      EXPECT_TRUE(listing.open(folder, "*.*")) << folder;
      EXPECT_TRUE(listing.identity(identity)) << folder;
      // Read to its end, the listing still knows its folder.
      platform::TreeEntry entry;
      while (listing.next(entry)) {
      }
      platform::PathIdentity again;
      EXPECT_TRUE(listing.identity(again)) << folder;
      EXPECT_EQ(again, identity) << folder;
      listed.push_back(identity);
    }
    return listed;
  };
  EXPECT_EQ(listedIdentities(), byPath);
  {
    const platform::ListingBranch branch;
    EXPECT_EQ(listedIdentities(), byPath);
  }
}

}  // namespace
