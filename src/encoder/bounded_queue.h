// A small blocking queue between the pipeline's threads. Its bound keeps the stages in step and
// the memory flat: a full queue holds the producer back.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace conv {

template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(size_t capacity) : capacity_(capacity) {}

  // False when the queue was aborted; the item is dropped then.
  bool Push(T item) {
    std::unique_lock lock(mutex_);
    notFull_.wait(lock, [&] { return aborted_ || items_.size() < capacity_; });
    if (aborted_) return false;
    items_.push_back(std::move(item));
    notEmpty_.notify_one();
    return true;
  }

  // Nothing when the queue is closed and drained, or aborted.
  std::optional<T> Pop() {
    std::unique_lock lock(mutex_);
    notEmpty_.wait(lock, [&] { return aborted_ || closed_ || !items_.empty(); });
    if (aborted_ || items_.empty()) return std::nullopt;
    T item = std::move(items_.front());
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
    notEmpty_.notify_all();
    notFull_.notify_all();
  }

 private:
  size_t capacity_;
  std::mutex mutex_;
  std::condition_variable notEmpty_;
  std::condition_variable notFull_;
  std::deque<T> items_;
  bool closed_ = false;
  bool aborted_ = false;
};

}  // namespace conv
