// The Tunnel channel, "com.daviza.vpn/tunnel": the Dart side's "start", "stop" and "status" calls,
// each turned into one request to the tunnel helper service and its answer into the call's result.
// The channel keeps no state; whether the tunnel runs is known only to the service.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/helper_protocol.h"
#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_call.h"
#include "flutter_glue/method_result.h"

namespace app {

inline constexpr char kTunnelChannelName[] = "com.daviza.vpn/tunnel";

// Sends one request to the service and returns its answer; failures come back as `ok` false with
// a message.
using HelperRequestSender =
    std::function<common::ReceivedHelperResponse(const common::HelperRequest& request)>;

// The string stored under the string key `key` when the call's arguments are a map; nothing
// otherwise (a key of another kind, such as the same bytes as a byte list, does not match).
[[nodiscard]] std::optional<std::string> GetStringArgument(const flutter::MethodCall<>& call,
                                                           std::string_view key);

// Answers `call` exactly once before returning, sending at most one request through `send`.
void HandleTunnelMethodCallWith(const HelperRequestSender& send, const flutter::MethodCall<>& call,
                                std::unique_ptr<flutter::MethodResult<>> result);

#ifdef _WIN32
// The channel's handler: HandleTunnelMethodCallWith over SendHelperRequest. It blocks the calling
// (window) thread for the whole pipe exchange.
void HandleTunnelMethodCall(const flutter::MethodCall<>& call,
                            std::unique_ptr<flutter::MethodResult<>> result);
#endif

}  // namespace app
