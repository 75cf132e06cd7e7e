#include "face/launch_inbox.h"

#include <iterator>
#include <utility>

namespace vintrel::face {

bool LaunchInbox::Receive(Files files) {
  const std::size_t room = room_ ? room_() : 0;
  if (!files.empty() && (held_.size() > room || files.size() > room - held_.size())) return false;
  held_.insert(held_.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
  if (Idle()) DropHeld();
  return true;
}

void LaunchInbox::Leave() {
  if (--busy_ == 0) DropHeld();
}

// Counted busy while dropping: files a nested handler receives meanwhile are taken by the loop.
void LaunchInbox::DropHeld() {
  while (!held_.empty() && Idle()) {
    const Files files = std::exchange(held_, {});
    ++busy_;
    if (drop_) drop_(files);
    --busy_;
  }
}

}  // namespace vintrel::face
