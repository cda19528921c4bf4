// A manual-reset event: set, it lets every waiter through until reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vidora {

class TEvent {
 public:
  explicit TEvent(bool signalled) : FSignalled(signalled) {}

  void Set() {
    {
      std::lock_guard lock(FLock);
      FSignalled = true;
    }
    FChanged.notify_all();
  }
  void Reset() {
    std::lock_guard lock(FLock);
    FSignalled = false;
  }
  bool IsSet() const {
    std::lock_guard lock(FLock);
    return FSignalled;
  }
  void Wait() {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FSignalled; });
  }
  // True when the event was set within the timeout.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [this] { return FSignalled; });
  }

 private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  bool FSignalled;
};

}  // namespace vidora
