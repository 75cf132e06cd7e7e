// A cheap first step for large reductions: block averages cost a fraction of a wide bicubic
// filter over the full source, and the bicubic step after it still removes the detail the small
// output cannot hold.
#pragma once

#include <cstdint>

namespace conv {

// Averages each `factor` x `factor` block (factor 2 or 4) of `source` into one pixel of `target`
// (width / factor x height / factor, rounded down, or up for a chroma plane); columns and rows
// past the source's edge repeat its last one.
void ShrinkPlane(const uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight, int factor,
                 uint8_t* target, int targetStride, int targetWidth, int targetHeight);

}  // namespace conv
