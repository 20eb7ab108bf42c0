// The App channel, "com.daviza.vpn/app": the Dart side pulls pending sign-in links with
// "consumeAuthCallback", one per call, oldest first, until it gets null.
#pragma once

#include <functional>
#include <memory>

#include "app/auth_callback_queue.h"
#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_call.h"
#include "flutter_glue/method_result.h"

namespace app {

inline constexpr char kAppChannelName[] = "com.daviza.vpn/app";

// Answers `call` exactly once before returning. When `pending` is empty, `refill` runs first to
// bring in links that later starts of the app left for it.
void HandleAppMethodCallWith(AuthCallbackQueue& pending, const std::function<void()>& refill,
                             const flutter::MethodCall<>& call,
                             std::unique_ptr<flutter::MethodResult<>> result);

#ifdef _WIN32
// The channel's handler over PendingAuthCallbacks, refilled from the queue file. Runs on the
// window thread, which also owns PendingAuthCallbacks.
void HandleAppMethodCall(const flutter::MethodCall<>& call,
                         std::unique_ptr<flutter::MethodResult<>> result);
#endif

}  // namespace app
