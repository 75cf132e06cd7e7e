// How far a file's timestamps are believed: arithmetic that cannot overflow, the point past which
// the output may not run, and the repair of a stream whose clock jumps.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace conv {

// Sums and differences of timestamps, held at the ends of the range instead of overflowing.
int64_t SaturatingAdd(int64_t a, int64_t b);
int64_t SaturatingSub(int64_t a, int64_t b);

// Where each stream of the source has content, as the reader meets its packets: spans in
// seconds from the source's start, joined across gaps of at most TimeLimits::kMaxGapSeconds.
// A stream's long gap is believed only where another stream goes on meanwhile, whatever length
// the file declares. Safe from several threads.
class ContentMap {
 public:
  static constexpr int kVideo = 0;
  static constexpr int kAudio = 1;

  void Note(int stream, double from, double to);
  // Whether a stream other than `stream` has content from `from` to `to`.
  bool OthersCover(int stream, double from, double to) const;

 private:
  // Beyond this many spans a stream is taken to have no more content worth a gap.
  static constexpr std::size_t kMaxSpans = 100000;
  mutable std::mutex mutex_;
  std::vector<std::pair<double, double>> spans_[2];  // sorted, apart by more than the gap
};

struct TimeLimits {
  // A step of the clock longer than this between one frame (or sample) and the next is a break
  // in the file, unless it stays inside the file's declared length.
  static constexpr double kMaxGapSeconds = 5;
  // No output runs longer than this, whatever the file claims.
  static constexpr double kCeilingSeconds = 12 * 3600;

  double length = -1;  // the declared length in seconds; negative when unknown or only a guess
  std::shared_ptr<const ContentMap> content;  // none: no long gap is believed

  // Where the output must end at the latest: the length with a margin, under the ceiling.
  double EndSeconds() const;
  // Why a file whose output would run past that fails.
  std::string OverrunReason() const;
};

// One stream's clock, in units of `perSecond` (output frames or samples): a jump past the limits
// is taken out, so the stream goes on where it was, as with joined MPEG files. `stream` is its
// index in the content map.
class Timeline {
 public:
  Timeline(const TimeLimits& limits, double perSecond, int stream);

  // `time` is when the frame says it starts, `expected` where the stream has got to; both in
  // units. Returns when it is placed.
  int64_t Place(int64_t time, int64_t expected);
  // Whether something lasting from `from` to `to` (placed units) is believable: a short step,
  // or a longer one inside the declared length while another stream has content all along.
  bool Believable(int64_t from, int64_t to) const;
  // Added to every time so far placed after a break.
  int64_t Shift() const { return shift_; }
  // The unit in which the output must end (the last one it may fill is one before).
  int64_t End() const { return end_; }

 private:
  double perSecond_;
  int stream_;
  std::shared_ptr<const ContentMap> content_;
  int64_t maxGap_;
  int64_t declaredEnd_;  // INT64_MIN when the length is unknown: every long jump is a break
  int64_t end_;
  int64_t shift_ = 0;
};

}  // namespace conv
