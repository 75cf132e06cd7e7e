#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vintrel::face {

// Files a second launch of the program hands to the running window ("Open With", a terminal).
// They enter the queue exactly as a drop of the same files would, through the window's own drop
// handler, but only while the window is idle: during an action (a batch, Add's dialog) they are
// held, in arrival order, and dropped in one go when the outermost action ends. So nothing is
// lost and nothing joins a running batch.
class LaunchInbox {
 public:
  using Files = std::vector<std::string>;

  // `room`: how many files the queue still takes; what is held counts against it.
  LaunchInbox(std::function<void(const Files&)> drop, std::function<std::size_t()> room)
      : drop_(std::move(drop)), room_(std::move(room)) {}
  LaunchInbox(const LaunchInbox&) = delete;
  LaunchInbox& operator=(const LaunchInbox&) = delete;

  // Marks the window busy for its lifetime; wrap every action the window runs in one.
  class Busy {
   public:
    explicit Busy(LaunchInbox& inbox) : inbox_(inbox) { ++inbox_.busy_; }
    ~Busy() { inbox_.Leave(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    LaunchInbox& inbox_;
  };

  // Files from one launch (none: it only asked for the window). Dropped now when idle. False,
  // and nothing taken, when they would not fit in the room left.
  bool Receive(Files files);
  bool Idle() const { return busy_ == 0; }
  const Files& Held() const { return held_; }

 private:
  void Leave();
  void DropHeld();

  std::function<void(const Files&)> drop_;
  std::function<std::size_t()> room_;
  int busy_ = 0;
  Files held_;
};

}  // namespace vintrel::face
