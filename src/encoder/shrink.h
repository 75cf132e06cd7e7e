// A cheap first step for large reductions: halving by 2x2 averages costs a fraction of a wide
// bicubic filter over the full source, and the bicubic step after it still removes the detail the
// small output cannot hold.
#pragma once

#include <cstdint>

namespace conv {

// Averages each 2x2 block of `source` into one pixel of `target` (width / 2 x height / 2, rounded
// down); a last odd column or row of a plane is averaged with itself.
void HalvePlane(const uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight, uint8_t* target,
                int targetStride, int targetWidth, int targetHeight);

}  // namespace conv
