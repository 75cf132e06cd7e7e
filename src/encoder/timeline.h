// How far a file's timestamps are believed: arithmetic that cannot overflow, the point past which
// the output may not run, and the repair of a stream whose clock jumps.
#pragma once

#include <cstdint>
#include <string>

namespace conv {

// Sums and differences of timestamps, held at the ends of the range instead of overflowing.
int64_t SaturatingAdd(int64_t a, int64_t b);
int64_t SaturatingSub(int64_t a, int64_t b);

struct TimeLimits {
  // A step of the clock longer than this between one frame (or sample) and the next is a break
  // in the file, unless it stays inside the file's declared length.
  static constexpr double kMaxGapSeconds = 5;
  // No output runs longer than this, whatever the file claims.
  static constexpr double kCeilingSeconds = 12 * 3600;

  double length = -1;  // the declared length in seconds; negative when unknown or only a guess

  // Where the output must end at the latest: the length with a margin, under the ceiling.
  double EndSeconds() const;
  // Why a file whose output would run past that fails.
  std::string OverrunReason() const;
};

// One stream's clock, in units of `perSecond` (output frames or samples): a jump past the limits
// is taken out, so the stream goes on where it was, as with joined MPEG files.
class Timeline {
 public:
  Timeline(const TimeLimits& limits, double perSecond);

  // `time` is when the frame says it starts, `expected` where the stream has got to; both in
  // units. Returns when it is placed.
  int64_t Place(int64_t time, int64_t expected);
  // Whether something lasting from `from` to `to` (placed units) is believable.
  bool Believable(int64_t from, int64_t to) const;
  // Added to every time so far placed after a break.
  int64_t Shift() const { return shift_; }
  // The unit in which the output must end (the last one it may fill is one before).
  int64_t End() const { return end_; }

 private:
  int64_t maxGap_;
  int64_t declaredEnd_;  // INT64_MIN when the length is unknown: every long jump is a break
  int64_t end_;
  int64_t shift_ = 0;
};

}  // namespace conv
