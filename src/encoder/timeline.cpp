#include "timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace conv {
namespace {

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

// Headroom for a player's rounding and a sound track that runs a little longer than declared.
constexpr double kMarginSeconds = 30;
constexpr double kMarginShare = 0.25;

int64_t Units(double seconds, double perSecond) {
  return static_cast<int64_t>(std::ceil(seconds * perSecond));
}

}  // namespace

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? kMax : kMin;
}

int64_t SaturatingSub(int64_t a, int64_t b) {
  int64_t difference = 0;
  if (!__builtin_sub_overflow(a, b, &difference)) return difference;
  return b < 0 ? kMax : kMin;
}

double TimeLimits::EndSeconds() const {
  if (length < 0) return kCeilingSeconds;
  return std::min(kCeilingSeconds, length + kMarginSeconds + kMarginShare * length);
}

std::string TimeLimits::OverrunReason() const {
  char text[128];
  if (length < 0 || EndSeconds() >= kCeilingSeconds) {
    std::snprintf(text, sizeof text, "its timestamps run on past %.0f hours: the file is damaged",
                  kCeilingSeconds / 3600);
  } else {
    std::snprintf(text, sizeof text,
                  "its timestamps run on far past its length of %.2f s: the file is damaged", length);
  }
  return text;
}

Timeline::Timeline(const TimeLimits& limits, double perSecond)
    : maxGap_(Units(TimeLimits::kMaxGapSeconds, perSecond)),
      declaredEnd_(limits.length < 0 ? kMin : Units(limits.length, perSecond)),
      end_(Units(limits.EndSeconds(), perSecond)) {}

bool Timeline::Believable(int64_t from, int64_t to) const {
  int64_t step = SaturatingSub(to, from);
  return (step >= -maxGap_ && step <= maxGap_) || (step > 0 && to <= declaredEnd_);
}

int64_t Timeline::Place(int64_t time, int64_t expected) {
  int64_t placed = SaturatingAdd(time, shift_);
  if (!Believable(expected, placed)) {
    shift_ = SaturatingAdd(shift_, SaturatingSub(expected, placed));
    placed = expected;
  }
  return placed;
}

}  // namespace conv
