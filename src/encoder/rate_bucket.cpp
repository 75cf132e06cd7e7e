#include "rate_bucket.h"

#include <algorithm>
#include <cmath>

namespace conv {
namespace {

constexpr double kRepaidShare = 0.25;

}  // namespace

RateBucket::RateBucket(double bitsPerSlot, double capacity, double headStart)
    : perSlot_(bitsPerSlot), capacity_(capacity), level_(-headStart), owed_(headStart) {}

bool RateBucket::Admit(int64_t slot) {
  if (perSlot_ <= 0) return true;
  // The head start stays until it is spent; only what is held drains. Once the setting is the
  // limit, a share of the drain pays the head start back, so the file ends near its setting.
  if (drainedTo_ != INT64_MIN && slot > drainedTo_ && level_ > 0) {
    double drain = perSlot_ * static_cast<double>(slot - drainedTo_);
    double repaid = std::min(owed_, drain * kRepaidShare);
    owed_ -= repaid;
    level_ = std::max(0.0, level_ - (drain - repaid));
  }
  drainedTo_ = std::max(drainedTo_, slot);
  // An empty bucket takes any frame, so one larger than the whole bucket still gets through.
  return level_ <= 0 || level_ + lastFrame_ <= capacity_;
}

void RateBucket::Spent(int64_t bits, bool key) {
  level_ += static_cast<double>(bits);
  if (!key) lastFrame_ = static_cast<double>(bits);
}

int64_t PeakWindow::Place(int64_t slot, int64_t bits) {
  if (span_ <= 0 || limit_ <= 0) return slot;
  auto leave = [this](int64_t now) {
    while (!shown_.empty() && shown_.front().first + span_ <= now) {
      inWindow_ -= shown_.front().second;
      shown_.pop_front();
    }
  };
  leave(slot);
  while (!shown_.empty() && static_cast<double>(inWindow_ + bits) > limit_) {
    slot = std::max(slot, shown_.front().first + span_);
    leave(slot);
  }
  shown_.emplace_back(slot, bits);
  inWindow_ += bits;
  return slot;
}

double LevelBucket::HeldAt(int64_t slot) const {
  if (lastSlot_ == INT64_MIN || slot <= lastSlot_) return held_;
  return std::max(0.0, held_ - perSlot_ * static_cast<double>(slot - lastSlot_));
}

int64_t LevelBucket::Earliest(int64_t slot, int64_t bits) const {
  if (perSlot_ <= 0 || capacity_ <= 0 || lastSlot_ == INT64_MIN) return slot;
  slot = std::max(slot, lastSlot_);
  const double room = capacity_ - static_cast<double>(bits);
  const double excess = HeldAt(slot) - std::max(0.0, room);
  if (excess <= 0) return slot;
  return slot + static_cast<int64_t>(std::ceil(excess / perSlot_));
}

void LevelBucket::Add(int64_t slot, int64_t bits) {
  held_ = HeldAt(slot) + static_cast<double>(bits);
  lastSlot_ = std::max(lastSlot_, slot);
  if (capacity_ > 0 && held_ > capacity_ * (1 + 1e-9)) overflowed_ = true;
}

}  // namespace conv
