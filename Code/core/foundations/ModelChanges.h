// Change notification for a model that several views show: each view
// subscribes a redraw, and every operation that changes the model runs
// inside a TChangeScope. The views redraw once, when the outermost scope
// ends, also when an error leaves it (what was set before the error stays
// set and is shown).
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace tarquel {

class TModelChanges {
 public:
  using TListener = std::function<void()>;

  // Returns the id that Unsubscribe takes.
  int Subscribe(TListener listener) {
    Listeners_.emplace_back(++LastId_, std::move(listener));
    return LastId_;
  }
  void Unsubscribe(int id) {
    std::erase_if(Listeners_, [id](const auto& entry) { return entry.first == id; });
  }

  class TChangeScope {
   public:
    explicit TChangeScope(TModelChanges& changes) : Changes_(changes) { ++Changes_.Depth_; }
    TChangeScope(const TChangeScope&) = delete;
    TChangeScope& operator=(const TChangeScope&) = delete;
    ~TChangeScope() {
      if (--Changes_.Depth_ == 0) Changes_.Notify();
    }

   private:
    TModelChanges& Changes_;
  };

 private:
  void Notify() noexcept {
    // A copy: a view may subscribe or unsubscribe while redrawing.
    const auto listeners = Listeners_;
    for (const auto& [id, listener] : listeners) {
      // A view that fails to redraw shows old values until the next change;
      // the model itself is whole, so the others still redraw.
      try {
        listener();
      } catch (...) {
      }
    }
  }

  std::vector<std::pair<int, TListener>> Listeners_;
  int LastId_ = 0;
  int Depth_ = 0;
};

}  // namespace tarquel
