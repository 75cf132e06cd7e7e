// The bits the video has spent beyond its setting, as a phone's buffer would hold them: it drains
// at the setting's rate, and a frame whose bits would overfill it is dropped before it is encoded.
#pragma once

#include <cstdint>

namespace conv {

class RateBucket {
 public:
  RateBucket() = default;
  // `bitsPerSlot`: the setting's share of one output frame; `capacity`: the bits held at most;
  // `headStart`: bits a player has in hand before it starts, which the first pictures may use.
  RateBucket(double bitsPerSlot, double capacity, double headStart);

  // Whether the frame of output slot `slot` may be encoded; slots only move forward.
  bool Admit(int64_t slot);
  // An encoded frame's size; `key` for a picture coded on its own.
  void Spent(int64_t bits, bool key);

  double Level() const { return level_; }

 private:
  double perSlot_ = 0;
  double capacity_ = 0;
  double level_ = 0;
  double lastFrame_ = 0;  // the next frame is guessed to be as large as the last predicted one
  int64_t drainedTo_ = INT64_MIN;
};

}  // namespace conv
