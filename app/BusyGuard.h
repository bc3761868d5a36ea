// Sets the hourglass for the lifetime of the guard, also when an action ends in an error.
#pragma once

#include <functional>

namespace barvik {

class BusyGuard {
 public:
  explicit BusyGuard(const std::function<void(bool)>& busy) : busy_(busy) {
    if (busy_) busy_(true);
  }
  ~BusyGuard() {
    if (busy_) busy_(false);
  }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  const std::function<void(bool)>& busy_;  // the Workspace's hook, which outlives the guard
};

}  // namespace barvik
