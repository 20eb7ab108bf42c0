#include "app/shared_auth_callbacks.h"

#include "app/auth_callback_queue.h"
#include "app/auth_queue_lock.h"

namespace app {

void EnqueueSharedAuthCallback(std::string_view link) {
  const AuthQueueLock lock;
  if (!lock.obtained()) return;
  AuthCallbackQueue queue = AuthCallbackQueue::Load();
  queue.Add(link);
  queue.Save();
}

std::vector<std::string> DrainSharedAuthCallbacks() {
  const AuthQueueLock lock;
  if (!lock.obtained()) return {};
  const AuthCallbackQueue queue = AuthCallbackQueue::Load();
  AuthCallbackQueue().Save();
  std::vector<std::string> links(queue.begin(), queue.end());
  for (const std::string& link : links) AddPendingAuthCallback(link);
  return links;
}

}  // namespace app
