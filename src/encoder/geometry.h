// Where the picture goes inside the output frame, and which source frame fills which output frame.
#pragma once

#include <cstdint>

namespace conv {

// The part of the output frame the picture covers, centred; the rest is black bars. All values even.
struct PictureBox {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PictureBox&) const = default;
};

// Fits a source of the given stored size and sample aspect ratio (0/x means square), turned by
// `rotation` degrees, into an output frame of square pixels, keeping its shape.
PictureBox FitPicture(int sourceWidth, int sourceHeight, int sarNum, int sarDen, int rotation, int outWidth,
                      int outHeight);

// How much deblocking the decoder may skip, as the output cannot show it: 0 none, 1 on pictures
// nothing refers to (from a 2x reduction), 2 everywhere (from 4x, where a block is under a pixel).
int LoopFilterSkipping(int sourceWidth, int sourceHeight, int rotation, const PictureBox& box);

// The deepest reduced-resolution decoding level that still gives at least the box's pixels.
int LowresLevel(int sourceWidth, int sourceHeight, int rotation, const PictureBox& box, int maxLevel);

// How many frame threads the video decoder gets, for a source decoding `pixelsPerSecond` whose
// pictures take `pictureBytes` each, on `cores` cores (0: unknown).
int DecoderThreadCount(double pixelsPerSecond, int64_t pictureBytes, int cores);

// Output frame slot k covers the source frames whose time rounds to k; the last of them is shown.
// Slots before the first source frame repeat it; slots after the last repeat the last.
class FramePicker {
 public:
  struct Run {
    int64_t first = 0;
    int64_t count = 0;
  };
  // A source frame falling on `slot` arrives. Returns the slots the previous frame is shown in.
  Run Push(int64_t slot);
  // No more frames: returns the slots the last frame is shown in, up to `endSlot` (exclusive).
  // Shows the last frame at least once if nothing was shown yet.
  Run Finish(int64_t endSlot);
  int64_t NextSlot() const { return next_; }

 private:
  bool pending_ = false;
  int64_t next_ = 0;
};

// A frame falling on `slot` that the following frame (on `followingSlot`) would replace anyway.
inline bool IsReplaced(int64_t slot, int64_t followingSlot) {
  return followingSlot <= slot;
}

}  // namespace conv
