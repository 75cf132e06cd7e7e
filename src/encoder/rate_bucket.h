// The bits the video has spent beyond its setting, as a phone's buffer would hold them: it drains
// at the setting's rate, and a frame whose bits would overfill it is dropped before it is encoded.
#pragma once

#include <climits>
#include <cstdint>
#include <deque>
#include <utility>

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
  double owed_ = 0;       // the head start, once spent, until the drain has paid it back
  double lastFrame_ = 0;  // the next frame is guessed to be as large as the last predicted one
  int64_t drainedTo_ = INT64_MIN;
};

// The bits of the frames shown in the last `spanSlots` slots, as a phone's buffer sees them
// arrive. A frame is only known to be too large once encoded, so it is shown later instead, as
// if the slots before it had been dropped.
class PeakWindow {
 public:
  PeakWindow() = default;
  PeakWindow(int64_t spanSlots, double limitBits) : span_(spanSlots), limit_(limitBits) {}

  // The first slot from `slot` on where a frame of `bits` keeps the window within its limit; one
  // larger than the limit alone waits for an empty window. Slots only move forward.
  int64_t Place(int64_t slot, int64_t bits);

 private:
  int64_t span_ = 0;
  double limit_ = 0;
  std::deque<std::pair<int64_t, int64_t>> shown_;  // slot, bits
  int64_t inWindow_ = 0;
};

// The decoder's buffer of the level the file declares, seen from the sending side: it takes each
// coded picture at its slot and passes bits on at the level's rate, so it holds what the decoder
// has not yet received; more than `bufferBits` would overflow the decoder's HRD (H.263) or leave
// its VBV (MPEG-4) short at a picture's time. A picture that does not fit at its slot is shown
// later, once enough has drained, as PeakWindow does.
class LevelBucket {
 public:
  LevelBucket() = default;
  LevelBucket(double bitsPerSlot, double bufferBits) : perSlot_(bitsPerSlot), capacity_(bufferBits) {}

  // The first slot from `slot` on where a picture of `bits` fits; one larger than the whole
  // buffer waits until it is empty (Overflowed says so afterwards). Does not take it in.
  int64_t Earliest(int64_t slot, int64_t bits) const;
  // Takes in a picture of `bits` at `slot`, no earlier than Earliest gave.
  void Add(int64_t slot, int64_t bits);
  bool Overflowed() const { return overflowed_; }

 private:
  double HeldAt(int64_t slot) const;

  double perSlot_ = 0;
  double capacity_ = 0;
  double held_ = 0;
  int64_t lastSlot_ = INT64_MIN;
  bool overflowed_ = false;
};

}  // namespace conv
