// GoogleTest's Notification for the win32 thread model, which has no
// std::mutex or std::condition_variable for GoogleTest's own one. Read
// ahead of every source that includes GoogleTest (see CMakeLists.txt).
// GoogleTest uses it only to start the threads of its own thread tests;
// the wait spins.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : notified_(false) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_;
};

}  // namespace internal
}  // namespace testing
