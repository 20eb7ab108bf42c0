// The session-wide lock around every read and write of the queue file of sign-in links.
#pragma once

#include "common/unique_handle.h"

namespace app {

// The mutex "Local\DAVIZA.AuthQueue", created without initial ownership and with the session
// mutexes' DACL; no handle on failure.
common::UniqueHandle CreateAuthQueueMutex() noexcept;

// Waits for the mutex on construction and releases it on destruction. A holder that ended without
// releasing it does not block the queue. The wait has no time-out: holders keep the lock only for
// one small file read and write.
class AuthQueueLock {
 public:
  AuthQueueLock() noexcept;
  ~AuthQueueLock();
  AuthQueueLock(const AuthQueueLock&) = delete;
  AuthQueueLock& operator=(const AuthQueueLock&) = delete;

  [[nodiscard]] bool obtained() const noexcept { return obtained_; }

 private:
  common::UniqueHandle mutex_;
  bool obtained_ = false;
};

}  // namespace app
