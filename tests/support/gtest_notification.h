// GoogleTest's internal Notification on the port's mutex and condition
// variable, for the Windows builds; force-included (-include) into
// GoogleTest and into every test that reads its headers (cmake/GTest.cmake).
//
// This replaces a library internal. GoogleTest 1.12 builds its Notification
// on std::mutex and std::condition_variable, which the win32 thread model's
// libstdc++ (GCC 12) does not have, unless GTEST_HAS_NOTIFICATION_ says
// that one is already declared. Its other Windows locks are its own, on
// CRITICAL_SECTION. A GoogleTest that declares Notification otherwise, or
// needs more of it, fails to compile against this one.
#ifndef LM_TESTS_SUPPORT_GTEST_NOTIFICATION_H_
#define LM_TESTS_SUPPORT_GTEST_NOTIFICATION_H_

#ifdef __cplusplus

#include "platform/platform.h"

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() {
    platform::MutexLock lock(&mutex_);
    notified_ = true;
    changed_.NotifyAll();
  }

  void WaitForNotification() {
    platform::MutexLock lock(&mutex_);
    while (!notified_) changed_.Wait(&lock);
  }

 private:
  platform::Mutex mutex_;
  platform::ConditionVariable changed_;
  bool notified_ = false;  // guarded by mutex_
};

}  // namespace internal
}  // namespace testing

#endif  // __cplusplus

#endif  // LM_TESTS_SUPPORT_GTEST_NOTIFICATION_H_
