// The App channel, "com.daviza.vpn/app": the Dart side pulls pending sign-in links with
// "consumeAuthCallback", one per call, oldest first, until it gets null.
#pragma once

#include <memory>

#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_call.h"
#include "flutter_glue/method_result.h"

namespace app {

inline constexpr char kAppChannelName[] = "com.daviza.vpn/app";

// Answers `call` exactly once before returning. Takes from PendingAuthCallbacks, which it first
// refills from the queue file when it is empty. Runs on the window thread, which owns
// PendingAuthCallbacks.
void HandleAppMethodCall(const flutter::MethodCall<>& call,
                         std::unique_ptr<flutter::MethodResult<>> result);

}  // namespace app
