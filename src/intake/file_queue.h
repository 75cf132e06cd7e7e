#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// No real user queues this many files; the bound keeps what other programs hand the window
// (drops, launches) from filling its memory. Every way in refuses what would pass it.
inline constexpr std::size_t kQueueLimit = 100000;
// What a refusal says, the same in the windows and the CLI.
std::string QueueFullText();

struct QueueEntry {
  std::string path;     // exactly as received
  std::string typeTag;  // last three characters, upper-cased
};

// The ordered list of files still to convert. One model feeds both the hidden path list and
// the visible view: a view subscribes to the change callbacks.
class FileQueue {
 public:
  void AddToQueue(std::string path);
  // Removes the row at a 0-based index; false when there is no such row.
  bool RemoveAt(std::size_t index);
  // Removes the head; false when the queue is empty.
  bool RemoveHead();

  bool Empty() const { return entries_.empty(); }
  std::size_t Count() const { return entries_.size(); }
  // How many files may still join before kQueueLimit.
  std::size_t Room() const { return kQueueLimit - std::min(Count(), kQueueLimit); }
  const std::string& Head() const { return entries_.front().path; }  // only when !Empty()
  const QueueEntry& At(std::size_t index) const { return entries_.at(index); }
  const std::vector<QueueEntry>& Entries() const { return entries_; }

  static std::string TypeTag(std::string_view path);

  // Called after a row was appended (its index) or removed (the index it had).
  std::function<void(std::size_t)> onAppended;
  std::function<void(std::size_t)> onRemoved;

 private:
  std::vector<QueueEntry> entries_;
};

}  // namespace vintrel
