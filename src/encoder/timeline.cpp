#include "timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
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

void ContentMap::Note(int stream, double from, double to) {
  if (std::isnan(from) || std::isnan(to)) return;
  if (from > to) std::swap(from, to);
  std::lock_guard lock(mutex_);
  auto& spans = spans_[stream];
  constexpr double kGap = TimeLimits::kMaxGapSeconds;
  auto at = std::upper_bound(spans.begin(), spans.end(), std::make_pair(from, to));
  if (at != spans.begin() && std::prev(at)->second + kGap >= from) --at;
  if (at == spans.end() || at->first > to + kGap) {
    if (spans.size() < kMaxSpans) spans.insert(at, {from, to});
    return;
  }
  at->first = std::min(at->first, from);
  at->second = std::max(at->second, to);
  auto next = std::next(at);
  while (next != spans.end() && next->first <= at->second + kGap) {
    at->second = std::max(at->second, next->second);
    next = spans.erase(next);
  }
}

bool ContentMap::OthersCover(int stream, double from, double to) const {
  constexpr double kGap = TimeLimits::kMaxGapSeconds;
  std::lock_guard lock(mutex_);
  for (int other = 0; other < 2; ++other) {
    if (other == stream) continue;
    const auto& spans = spans_[other];
    auto at = std::upper_bound(spans.begin(), spans.end(),
                               std::make_pair(from + kGap, std::numeric_limits<double>::infinity()));
    if (at != spans.begin() && std::prev(at)->second + kGap >= to) return true;
  }
  return false;
}

Timeline::Timeline(const TimeLimits& limits, double perSecond, int stream)
    : perSecond_(perSecond),
      stream_(stream),
      content_(limits.content),
      maxGap_(Units(TimeLimits::kMaxGapSeconds, perSecond)),
      declaredEnd_(limits.length < 0 ? kMin : Units(limits.length, perSecond)),
      end_(Units(limits.EndSeconds(), perSecond)) {}

bool Timeline::Believable(int64_t from, int64_t to) const {
  int64_t step = SaturatingSub(to, from);
  if (step >= -maxGap_ && step <= maxGap_) return true;
  if (step <= 0 || to > declaredEnd_ || !content_) return false;
  // A stretch where no stream has content is damage or a forgery, however long the file says
  // it is: filling it would make output out of nothing.
  const double shift = static_cast<double>(shift_);
  return content_->OthersCover(stream_, (static_cast<double>(from) - shift) / perSecond_,
                               (static_cast<double>(to) - shift) / perSecond_);
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
