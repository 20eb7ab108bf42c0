#include "app/auth_queue_lock.h"

namespace app {

common::UniqueHandle CreateAuthQueueMutex() noexcept {
  return common::UniqueHandle(CreateMutexW(nullptr, FALSE, L"Local\\DAVIZA.AuthQueue"));
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
