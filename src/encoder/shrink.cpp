#include "shrink.h"

#include <algorithm>
#include <cstddef>

namespace conv {

void HalvePlane(const uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight, uint8_t* target,
                int targetStride, int targetWidth, int targetHeight) {
  int pairs = std::min(targetWidth, sourceWidth / 2);
  for (int y = 0; y < targetHeight; ++y) {
    const uint8_t* a = source + static_cast<std::ptrdiff_t>(std::min(2 * y, sourceHeight - 1)) * sourceStride;
    const uint8_t* b =
        source + static_cast<std::ptrdiff_t>(std::min(2 * y + 1, sourceHeight - 1)) * sourceStride;
    uint8_t* out = target + static_cast<std::ptrdiff_t>(y) * targetStride;
    // Kept simple enough for the compiler to vectorise.
    for (int x = 0; x < pairs; ++x) {
      out[x] = static_cast<uint8_t>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
    }
    for (int x = pairs; x < targetWidth; ++x) {
      int left = std::min(2 * x, sourceWidth - 1);
      int right = std::min(2 * x + 1, sourceWidth - 1);
      out[x] = static_cast<uint8_t>((a[left] + a[right] + b[left] + b[right] + 2) >> 2);
    }
  }
}

}  // namespace conv
