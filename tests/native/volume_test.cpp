// Volume texts: size texts, path helpers, and what the POSIX volume queries
// give for real mounts and for paths that cannot be asked about.
#include "volume/volume.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using volume::driveRoot;
using volume::folderName;
using volume::sizeText;

TEST(Volume, SizeTextTable) {
  struct Case {
    std::uint64_t count;
    const char* text;
  };
  const Case cases[] = {
      {0, "0.00 Byte"},
      {1, "1.00 Byte"},
      {1023, "1023.00 Byte"},
      {1024, "1024.00 Byte"},  // divided only while strictly above 1024
      {1025, "1.00 Kb"},
      {1152, "1.13 Kb"},  // 1.125: an exact half goes up
      {1408, "1.38 Kb"},  // 1.375
      {1664, "1.63 Kb"},  // 1.625: up as well, not to the even digit
      {1536, "1.50 Kb"},
      {1048576, "1024.00 Kb"},
      {1048577, "1.00 Mb"},
      {500107862016, "465.76 Gb"},
      {1078836756301, "1004.74 Gb"},  // 1004.75 in double precision
      {2000398934016, "1.82 Tb"},
      {1125899906842624, "1024.00 Tb"},
      {std::uint64_t{16} << 50, "16.00"},  // beyond the fifth unit: no unit text
      {UINT64_MAX, "16.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(sizeText(c.count), c.text) << c.count;
}

TEST(Volume, DriveRootKeepsItsBackslash) {
  EXPECT_EQ(driveRoot("D:\\Sauvegardes\\Photos\\"), "D:\\");
  EXPECT_EQ(driveRoot("E:\\"), "E:\\");
  EXPECT_EQ(driveRoot("D:"), "D:");
  EXPECT_EQ(driveRoot("\\\\serveur\\partage\\dossier"), "\\\\serveur\\");
  EXPECT_EQ(driveRoot("\\\\serveur"), "\\\\serveur");
  EXPECT_EQ(driveRoot(""), "");
  if (platform::kPathSeparator == '/') {
    EXPECT_EQ(driveRoot("/home/user/copies/"), "/");
  }
}

TEST(Volume, FolderNameIsTheLastFolder) {
  EXPECT_EQ(folderName("C:\\Données\\Photos\\"), "Photos");
  EXPECT_EQ(folderName("C:\\Données\\Photos"), "Données");
  EXPECT_EQ(folderName("C:\\"), "C:");
  EXPECT_EQ(folderName("E:\\"), "E:");
  EXPECT_EQ(folderName("/home/user/Photos/"), "Photos");
  EXPECT_EQ(folderName("C:/Données\\Photos/"), "Photos");
  EXPECT_EQ(folderName("\"C:\\Données\\Photos\\\""), "Photos");  // quoted
  EXPECT_EQ(folderName("C:\\Données\\Photos\\|D:\\Autre\\"), "Photos");
  EXPECT_EQ(folderName("Photos"), "");
  EXPECT_EQ(folderName("\\"), "");
  EXPECT_EQ(folderName(""), "");
}

TEST(Volume, FileSystemFailureTexts) {
  platform::VolumeInfo notReady;
  notReady.error = 21;
  EXPECT_EQ(volume::fileSystemTextOf(notReady), " Not ready");
  platform::VolumeInfo missing;
  missing.error = 3;
  EXPECT_EQ(volume::fileSystemTextOf(missing), " 3");
  platform::VolumeInfo found;
  found.ok = true;
  found.fileSystem = "NTFS";
  EXPECT_EQ(volume::fileSystemTextOf(found), "NTFS");
}

TEST(Volume, APathThatCannotBeAskedGivesTheFailureTexts) {
  for (const char* path : {"", "no-such-folder-of-ravelund/inside/"}) {
    EXPECT_EQ(volume::fileSystemText(path), " 3") << path;
    EXPECT_EQ(volume::totalCapacityText(path), "0.00 Byte") << path;
    EXPECT_EQ(volume::freeSpaceText(path), "0.00 Byte") << path;
    EXPECT_EQ(volume::freeSpaceBytes(path), "0") << path;
    EXPECT_EQ(volume::freeSpaceByteCount(path), 0u) << path;
  }
}

TEST(Volume, PosixFileSystemIsTheTypeOfTheMountHoldingThePath) {
  if (fs::is_directory("/proc/self")) {
    EXPECT_EQ(volume::fileSystemText("/proc/"), "proc");
    // A folder that does not exist yet lies on the mount of its nearest parent.
    EXPECT_EQ(volume::fileSystemText("/proc/self/no-such-folder/deeper/"), "proc");
  }
  const std::string root = volume::fileSystemText("/");
  EXPECT_FALSE(root.empty());
  EXPECT_NE(root.front(), ' ') << root;
  EXPECT_EQ(root.find_first_of(" /"), std::string::npos) << root;
}

TEST(Volume, PosixSizesOfARealVolume) {
  const std::string folder = fs::temp_directory_path().string() + "/";
  const std::string free = volume::freeSpaceBytes(folder);
  ASSERT_FALSE(free.empty());
  EXPECT_EQ(free.find_first_not_of("0123456789"), std::string::npos) << free;
  const platform::DiskSpace space = platform::diskSpace("/", folder);
  ASSERT_TRUE(space.ok);
  EXPECT_GT(space.total, 0u);
  EXPECT_LE(space.availableToUser, space.total);
  EXPECT_EQ(volume::totalCapacityText(folder), sizeText(space.total));
  EXPECT_NE(volume::totalCapacityText(folder), "0.00 Byte");
}

}  // namespace
