#include "app/auth_queue_lock.h"

#include "app/session_mutex.h"

namespace app {

common::UniqueHandle CreateAuthQueueMutex() noexcept {
  return CreateSessionMutex(L"Local\\DAVIZA.AuthQueue", false).handle;
}

AuthQueueLock::AuthQueueLock() noexcept : mutex_(CreateAuthQueueMutex()) {
  if (!mutex_) return;
  const DWORD wait = WaitForSingleObject(mutex_.get(), INFINITE);
  obtained_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

AuthQueueLock::~AuthQueueLock() {
  if (obtained_) ReleaseMutex(mutex_.get());
}

}  // namespace app
