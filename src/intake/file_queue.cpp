#include "intake/file_queue.h"

namespace vintrel {
namespace {

bool IsUtf8Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string QueueFullText() {
  return "The list is full (" + std::to_string(kQueueLimit) + " files).";
}

void FileQueue::AddToQueue(std::string path) {
  std::string tag = TypeTag(path);
  entries_.push_back(QueueEntry{std::move(path), std::move(tag)});
  if (onAppended) onAppended(entries_.size() - 1);
}

bool FileQueue::RemoveAt(std::size_t index) {
  if (index >= entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  if (onRemoved) onRemoved(index);
  return true;
}

bool FileQueue::RemoveHead() {
  return RemoveAt(0);
}

std::string FileQueue::TypeTag(std::string_view path) {
  // Three characters, not three bytes: a cut inside a UTF-8 sequence would show garbage.
  std::size_t start = path.size();
  for (int taken = 0; taken < 3 && start > 0; ++taken) {
    --start;
    while (start > 0 && IsUtf8Continuation(path[start])) --start;
  }
  std::string tag(path.substr(start));
  for (char& c : tag) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return tag;
}

}  // namespace vintrel
