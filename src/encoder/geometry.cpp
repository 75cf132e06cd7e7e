#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace conv {
namespace {

int EvenAtLeastTwo(double value) {
  return std::max(2, 2 * static_cast<int>(std::lround(value / 2)));
}

// Bars thinner than this would only cost bits; the picture is stretched by under 2 % instead.
constexpr int kThinnestBar = 2;

// Centred, on an even line or column so the half-size colour planes line up with it; or on the
// codecs' 8-pixel block grid when that moves the picture by at most a seventy-second of the frame
// (2 lines of 144): a block holding both bar and picture costs bits and rings at the picture's
// edge (SSIM +0.002 at the same size on a 4:3 source in 176x144).
int BarOffset(int spare, int frame) {
  constexpr int kBlock = 8;
  int onGrid = (spare / 2 + kBlock / 2) / kBlock * kBlock;
  if (std::abs(2 * onGrid - spare) <= 2 * (frame / 72)) return onGrid;
  return spare / 2 / 2 * 2;
}

}  // namespace

PictureBox FitPicture(int sourceWidth, int sourceHeight, int sarNum, int sarDen, int rotation, int outWidth,
                      int outHeight) {
  double sar = (sarNum > 0 && sarDen > 0) ? static_cast<double>(sarNum) / sarDen : 1.0;
  double aspect = sourceWidth * sar / sourceHeight;
  if (rotation == 90 || rotation == 270) aspect = 1.0 / aspect;
  PictureBox box{0, 0, outWidth, outHeight};
  double outAspect = static_cast<double>(outWidth) / outHeight;
  if (aspect > outAspect) {
    box.height = std::min(outHeight, EvenAtLeastTwo(outWidth / aspect));
    if (outHeight - box.height <= kThinnestBar) box.height = outHeight;
  } else {
    box.width = std::min(outWidth, EvenAtLeastTwo(outHeight * aspect));
    if (outWidth - box.width <= kThinnestBar) box.width = outWidth;
  }
  box.x = BarOffset(outWidth - box.width, outWidth);
  box.y = BarOffset(outHeight - box.height, outHeight);
  return box;
}

int LoopFilterSkipping(int sourceWidth, int sourceHeight, int rotation, const PictureBox& box) {
  int width = box.width;
  int height = box.height;
  if (rotation == 90 || rotation == 270) std::swap(width, height);
  int reduction = std::min(sourceWidth / width, sourceHeight / height);
  return reduction >= 4 ? 2 : reduction >= 2 ? 1 : 0;
}

int LowresLevel(int sourceWidth, int sourceHeight, int rotation, const PictureBox& box, int maxLevel) {
  int needWidth = box.width;
  int needHeight = box.height;
  if (rotation == 90 || rotation == 270) std::swap(needWidth, needHeight);
  int level = 0;
  while (level < maxLevel && (sourceWidth >> (level + 1)) >= needWidth &&
         (sourceHeight >> (level + 1)) >= needHeight) {
    ++level;
  }
  return level;
}

int DecoderThreadCount(double pixelsPerSecond, int64_t pictureBytes, int cores) {
  // Up to about 800x600 at 25 fps the decoder is light: the scaling, encoding and sound threads
  // keep about two cores busy beside it, and frame threads only add hand-offs. A heavy decoder
  // keeps a core busy with about three frame threads, as they wait on each other's reference
  // pictures (FFmpeg's own choice, one more than the cores, leaves a fifth of the time idle).
  constexpr double kLightDecoding = 12e6;
  constexpr int kMostThreads = 16;  // FFmpeg's own ceiling when it picks
  // What the frame threads may hold in pictures between them: each holds one.
  constexpr int64_t kPictureBudget = 64 << 20;
  if (cores <= 0) cores = 2;  // unknown: the smallest machine the decoder is tuned for
  int wanted = pixelsPerSecond <= kLightDecoding ? std::max(1, cores - 2) : std::min(kMostThreads, 3 * cores);
  int64_t fitting = kPictureBudget / std::max<int64_t>(1, pictureBytes);
  return static_cast<int>(std::clamp<int64_t>(fitting, 1, wanted));
}

FramePicker::Run FramePicker::Push(int64_t slot) {
  if (!pending_) {
    pending_ = true;
    return {next_, 0};
  }
  Run run{next_, std::max<int64_t>(0, slot - next_)};
  next_ += run.count;
  return run;
}

FramePicker::Run FramePicker::Finish(int64_t endSlot) {
  if (!pending_) return {next_, 0};
  pending_ = false;
  Run run{next_, std::max<int64_t>(next_ == 0 ? 1 : 0, endSlot - next_)};
  next_ += run.count;
  return run;
}

}  // namespace conv
