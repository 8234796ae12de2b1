// What one thread of a conversion hands the next, a few items at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace tarquel::encoder {

// What one thread hands the next: packets from the reading thread to the
// video's decoding thread, filtered frames to a stream's encoding thread. A
// few at a time, so that neither runs far ahead and what waits in between
// holds little memory; an empty one ends the stream.
template <typename Item>
class Handoff {
 public:
  explicit Handoff(std::size_t capacity) : Capacity_(capacity > 0 ? capacity : 1) {}

  // False once the handoff is closed.
  bool Push(Item item) {
    std::unique_lock lock(Mutex_);
    Changed_.wait(lock, [&] { return Closed_ || Items_.size() < Capacity_; });
    if (Closed_) return false;
    Items_.push_back(std::move(item));
    Changed_.notify_all();
    return true;
  }
  // False once the handoff is closed.
  bool Pop(Item& item) {
    std::unique_lock lock(Mutex_);
    Changed_.wait(lock, [&] { return Closed_ || !Items_.empty(); });
    if (Closed_) return false;
    item = std::move(Items_.front());
    Items_.pop_front();
    Changed_.notify_all();
    return true;
  }
  void Close() {
    std::lock_guard lock(Mutex_);
    Closed_ = true;
    Changed_.notify_all();
  }

 private:
  const std::size_t Capacity_;
  std::mutex Mutex_;
  std::condition_variable Changed_;
  std::deque<Item> Items_;
  bool Closed_ = false;
};

}  // namespace tarquel::encoder
