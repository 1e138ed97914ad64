#pragma once

// GoogleTest's Notification, for Debian's default mingw-w64 (win32 threads),
// whose C++ library has no std::mutex or std::condition_variable to build
// GoogleTest's own on. GoogleTest uses it only to start threads of its own,
// which our tests never ask for, so a flag waited on by spinning does.
// Included ahead of every source of the Windows unit test build.

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
