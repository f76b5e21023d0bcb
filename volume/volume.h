#pragma once
// The destination volume as texts for the status bar and the journal (its root,
// file-system type, capacity and free space), the size texts, and the path
// helpers the copy job names its folders with. Every operation is stateless and
// may run on any thread; the volume is asked again on every call.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace volume {

// The root of a path, keeping its trailing backslash: "D:\Sauvegardes\" gives
// "D:\", "\\serveur\partage" gives "\\serveur\", and a text without a backslash
// ("D:") comes back unchanged. In the POSIX build an absolute path's root is "/".
std::string driveRoot(std::string_view path);

// The name of the last folder of a path that ends with a separator
// ("C:\Données\Photos\" gives "Photos", "C:\" gives "C:"); without a final
// separator, the folder holding the last name. Both '\' and '/' separate.
std::string folderName(std::string_view path);

// A byte count scaled by 1024 while it stays above 1024, in single precision,
// with two decimals and its unit: "1024.00 Byte", "1.13 Kb", "465.76 Gb".
std::string sizeText(std::uint64_t count);

// The file-system name ("NTFS", "ext4"), " Not ready" for a drive without a
// medium, or a blank and the system's error code for any other failure.
std::string fileSystemText(std::string_view path);
// Size texts of the volume's total capacity and of the space free for the
// user; "0.00 Byte" when the volume cannot be asked.
std::string totalCapacityText(std::string_view path);
std::string freeSpaceText(std::string_view path);
// The space free for the user, in bytes; 0 on failure.
std::uint64_t freeSpaceByteCount(std::string_view path);
// The same count as a plain decimal text; "0" on failure.
std::string freeSpaceBytes(std::string_view path);

// The text fileSystemText gives for an answer of the volume query.
std::string fileSystemTextOf(const platform::VolumeInfo& info);

}  // namespace volume
