#include "shrink.h"

#include <algorithm>

namespace conv {

void HalvePlane(const uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight, uint8_t* target,
                int targetStride, int targetWidth, int targetHeight) {
  int pairs = std::min(targetWidth, sourceWidth / 2);
  for (int y = 0; y < targetHeight; ++y) {
    const uint8_t* a = source + static_cast<ptrdiff_t>(std::min(2 * y, sourceHeight - 1)) * sourceStride;
    const uint8_t* b = source + static_cast<ptrdiff_t>(std::min(2 * y + 1, sourceHeight - 1)) * sourceStride;
    uint8_t* out = target + static_cast<ptrdiff_t>(y) * targetStride;
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

bool CanHalve(int pixelFormat) {
  return pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P;
}

void HalveFrame(const AVFrame* source, FramePtr& target) {
  int width = source->width / 2;
  int height = source->height / 2;
  if (!target || target->width != width || target->height != height || target->format != source->format) {
    target = MakeFrame();
    target->format = source->format;
    target->width = width;
    target->height = height;
    Check(av_frame_get_buffer(target.get(), 0), "conv.exe", "cannot make a picture");
  }
  for (int plane = 0; plane < 3; ++plane) {
    int shift = plane ? 1 : 0;
    HalvePlane(source->data[plane], source->linesize[plane], (source->width + shift) >> shift,
               (source->height + shift) >> shift, target->data[plane], target->linesize[plane],
               (width + shift) >> shift, (height + shift) >> shift);
  }
  target->color_range = source->color_range;
  target->sample_aspect_ratio = source->sample_aspect_ratio;
}

}  // namespace conv
