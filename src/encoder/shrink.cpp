#include "shrink.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace conv {
namespace {

template <int F>
void Shrink(const uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight, uint8_t* target,
            int targetStride, int targetWidth, int targetHeight) {
  constexpr unsigned kArea = F * F;
  // Column sums of F rows first: both steps then run over neighbouring bytes, so they vectorise,
  // and a 4x reduction reads its source once instead of halving twice.
  std::vector<uint16_t> columns(static_cast<size_t>(targetWidth) * F);
  const int covered = std::min(sourceWidth, targetWidth * F);
  for (int y = 0; y < targetHeight; ++y) {
    const uint8_t* rows[F];
    for (int i = 0; i < F; ++i)
      rows[i] = source + static_cast<std::ptrdiff_t>(std::min(F * y + i, sourceHeight - 1)) * sourceStride;
    uint16_t* sums = columns.data();
    for (int x = 0; x < covered; ++x) {
      unsigned sum = 0;
      for (int i = 0; i < F; ++i) sum += rows[i][x];
      sums[x] = static_cast<uint16_t>(sum);
    }
    std::fill(columns.begin() + covered, columns.end(), columns[covered - 1]);
    uint8_t* out = target + static_cast<std::ptrdiff_t>(y) * targetStride;
    for (int x = 0; x < targetWidth; ++x) {
      unsigned sum = 0;
      for (int i = 0; i < F; ++i) sum += sums[F * x + i];
      out[x] = static_cast<uint8_t>((sum + kArea / 2) / kArea);
    }
  }
}

}  // namespace

void ShrinkPlane(const uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight, int factor,
                 uint8_t* target, int targetStride, int targetWidth, int targetHeight) {
  if (targetWidth <= 0 || targetHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
  if (factor == 4) {
    Shrink<4>(source, sourceStride, sourceWidth, sourceHeight, target, targetStride, targetWidth, targetHeight);
  } else {
    Shrink<2>(source, sourceStride, sourceWidth, sourceHeight, target, targetStride, targetWidth, targetHeight);
  }
}

}  // namespace conv
