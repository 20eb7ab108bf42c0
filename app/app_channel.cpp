#include "app/app_channel.h"

#include <string>
#include <utility>

#ifdef _WIN32
#include "app/shared_auth_callbacks.h"
#endif

namespace app {

void HandleAppMethodCallWith(AuthCallbackQueue& pending, const std::function<void()>& refill,
                             const flutter::MethodCall<>& call,
                             std::unique_ptr<flutter::MethodResult<>> result) {
  if (call.method_name() != "consumeAuthCallback") {
    result->NotImplemented();
    return;
  }
  if (pending.Empty()) refill();
  if (pending.Empty()) {
    result->Success();
    return;
  }
  result->Success(flutter::EncodableValue(pending.PopFront()));
}

#ifdef _WIN32
void HandleAppMethodCall(const flutter::MethodCall<>& call,
                         std::unique_ptr<flutter::MethodResult<>> result) {
  HandleAppMethodCallWith(
      PendingAuthCallbacks(), [] { static_cast<void>(DrainSharedAuthCallbacks()); }, call,
      std::move(result));
}
#endif

}  // namespace app
