// The handlers of an event, called in the order they subscribed.
#pragma once

#include <algorithm>
#include <vector>

namespace corvala4 {

/// Handlers may subscribe or unsubscribe (even be destroyed after unsubscribing) while an
/// event runs: each call walks a copy and skips a handler that has left in the meantime.
template <typename Handler>
class Subscribers {
 public:
  void Add(Handler& handler) { list_.push_back(&handler); }
  /// Removes the handler's first subscription; one that never subscribed is ignored.
  void Remove(Handler& handler) {
    auto it = std::find(list_.begin(), list_.end(), &handler);
    if (it != list_.end()) list_.erase(it);
  }
  bool Contains(const Handler& handler) const { return Has(&handler); }
  /// Calls fn(handler) for every handler subscribed now that is still subscribed when its turn comes.
  template <typename Fn>
  void Call(Fn&& fn) const {
    std::vector<Handler*> snapshot = list_;
    for (Handler* handler : snapshot)
      if (Has(handler)) fn(*handler);
  }

 private:
  // By address only: a handler that left may be gone already.
  bool Has(const Handler* handler) const {
    return std::find(list_.begin(), list_.end(), handler) != list_.end();
  }

  std::vector<Handler*> list_;
};

}  // namespace corvala4
