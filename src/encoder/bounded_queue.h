// A small blocking queue between the pipeline's threads. Its bounds keep the stages in step and
// the memory flat: a full queue holds the producer back. Up to `floor` items are taken whatever
// their size, and more, up to `capacity`, while the queued bytes stay under `budget`: small
// items queue deep enough to ride out a slow moment of either side, large ones stop at the floor.
// A consumer that ran dry is woken once `batch` items wait (or the queue is full, or closed): each
// wake-up is a system call on the producer's thread, which sets the pace of the whole run.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace conv {

struct QueueBounds {
  size_t floor = 1;
  size_t capacity = 1;
  size_t budget = 0;
  size_t batch = 1;
};

template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(QueueBounds bounds) : bounds_(bounds) {}

  // False when the queue was aborted; the item is dropped then.
  bool Push(T item, size_t bytes) {
    std::unique_lock lock(mutex_);
    notFull_.wait(lock, [&] { return aborted_ || !Full(); });
    if (aborted_) return false;
    items_.emplace_back(std::move(item), bytes);
    bytes_ += bytes;
    if (consumerWaits_ && (items_.size() >= bounds_.batch || Full())) notEmpty_.notify_one();
    return true;
  }

  // Nothing when the queue is closed and drained, or aborted.
  std::optional<T> Pop() {
    std::unique_lock lock(mutex_);
    consumerWaits_ = true;
    notEmpty_.wait(lock, [&] { return aborted_ || closed_ || !items_.empty(); });
    consumerWaits_ = false;
    if (aborted_ || items_.empty()) return std::nullopt;
    T item = std::move(items_.front().first);
    bytes_ -= items_.front().second;
    items_.pop_front();
    notFull_.notify_one();
    return item;
  }

  // No more items will come; the consumer still gets what is queued.
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    notEmpty_.notify_all();
  }

  // Both sides stop at once.
  void Abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    items_.clear();
    bytes_ = 0;
    notEmpty_.notify_all();
    notFull_.notify_all();
  }

 private:
  bool Full() const {
    return items_.size() >= bounds_.capacity || (items_.size() >= bounds_.floor && bytes_ >= bounds_.budget);
  }

  const QueueBounds bounds_;
  std::mutex mutex_;
  std::condition_variable notEmpty_;
  std::condition_variable notFull_;
  std::deque<std::pair<T, size_t>> items_;
  size_t bytes_ = 0;
  bool closed_ = false;
  bool aborted_ = false;
  bool consumerWaits_ = false;
};

}  // namespace conv
