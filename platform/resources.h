#pragma once
// The pictures carried inside the program: the background PNG (at five
// scales) and eleven icon files (each with its images for four scales).
// On Windows they are RCDATA resources of the exe; the native build links the
// same files as byte arrays.
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// Resource numbers of the embedded pictures, in the order start-up decodes them.
enum PictureResource : int {
  kBackgroundPicture = 101,
  kStartIconPicture,
  kCancelIconPicture,
  kSettingsIconPicture,
  kFolderIconPicture,
  kSaveButtonPicture,
  kCloseButtonPicture,
  kWebIconPicture,
  kJournalIconPicture,
  kHelpIconPicture,
  kCloseTipIconPicture,
  kSaveTipIconPicture,
  // The background drawn for higher display scales.
  kBackground125Picture,
  kBackground150Picture,
  kBackground175Picture,
  kBackground200Picture,
};

// The bytes of one embedded picture file; empty when the program lacks it.
std::span<const std::uint8_t> resourceBytes(int resource);

namespace embedded {
struct Blob {
  const unsigned char* data;
  std::size_t size;
};
}  // namespace embedded

}  // namespace platform
