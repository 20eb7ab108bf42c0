#include "app/app_channel.h"

#include "app/auth_callback_queue.h"
#include "app/shared_auth_callbacks.h"

namespace app {

void HandleAppMethodCall(const flutter::MethodCall<>& call,
                         std::unique_ptr<flutter::MethodResult<>> result) {
  if (call.method_name() != "consumeAuthCallback") {
    result->NotImplemented();
    return;
  }
  AuthCallbackQueue& pending = PendingAuthCallbacks();
  // Links that later starts of the app left in the file, for a Dart side that missed their push.
  if (pending.Empty()) {
    for (const std::string& link : DrainSharedAuthCallbacks()) pending.Add(link);
  }
  if (pending.Empty()) {
    result->Success();
    return;
  }
  result->Success(flutter::EncodableValue(pending.PopFront()));
}

}  // namespace app
