// A stand-in for the GUI thread: work posted from any thread, and timers
// run on the thread that calls RunUntil.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace tarquel::test {

using namespace std::chrono_literals;

class EventLoop {
 public:
  void Post(std::function<void()> work) {
    {
      std::lock_guard lock(Mutex_);
      Posted_.push_back(std::move(work));
    }
    Wake_.notify_one();
  }
  void After(std::chrono::milliseconds delay, std::function<void()> work) {
    Timers_.emplace(std::chrono::steady_clock::now() + delay, std::move(work));
  }
  // Runs events until `done` holds; false after `limit`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      while (!Timers_.empty() && Timers_.begin()->first <= std::chrono::steady_clock::now()) {
        auto work = std::move(Timers_.begin()->second);
        Timers_.erase(Timers_.begin());
        work();
      }
      std::function<void()> work;
      {
        std::unique_lock lock(Mutex_);
        Wake_.wait_for(lock, 20ms, [&] { return !Posted_.empty(); });
        if (Posted_.empty()) continue;
        work = std::move(Posted_.front());
        Posted_.pop_front();
      }
      work();
    }
    return true;
  }

 private:
  std::mutex Mutex_;
  std::condition_variable Wake_;
  std::deque<std::function<void()>> Posted_;
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> Timers_;
};

}  // namespace tarquel::test
