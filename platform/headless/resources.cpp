#include "platform/resources.h"

namespace platform {
namespace embedded {
extern const Blob kPictures[];
extern const int kPictureCount;
}  // namespace embedded

std::span<const std::uint8_t> resourceBytes(int resource) {
  const int index = resource - kBackgroundPicture;
  if (index < 0 || index >= embedded::kPictureCount) return {};
  const auto& blob = embedded::kPictures[index];
  return {blob.data, blob.size};
}

}  // namespace platform
