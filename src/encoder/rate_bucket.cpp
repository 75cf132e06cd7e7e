#include "rate_bucket.h"

#include <algorithm>

namespace conv {

RateBucket::RateBucket(double bitsPerSlot, double capacity, double headStart)
    : perSlot_(bitsPerSlot), capacity_(capacity), level_(-headStart) {}

bool RateBucket::Admit(int64_t slot) {
  if (perSlot_ <= 0) return true;
  // The head start stays until it is spent; only what is held drains.
  if (drainedTo_ != INT64_MIN && slot > drainedTo_ && level_ > 0) {
    level_ = std::max(0.0, level_ - perSlot_ * static_cast<double>(slot - drainedTo_));
  }
  drainedTo_ = std::max(drainedTo_, slot);
  // An empty bucket takes any frame, so one larger than the whole bucket still gets through.
  return level_ <= 0 || level_ + lastFrame_ <= capacity_;
}

void RateBucket::Spent(int64_t bits, bool key) {
  level_ += static_cast<double>(bits);
  if (!key) lastFrame_ = static_cast<double>(bits);
}

}  // namespace conv
