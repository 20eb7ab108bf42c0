// The app's side of the pipe to the tunnel helper service. Each call opens its own connection,
// sends one request message, reads one response message and closes the connection; nothing is
// kept between calls. Every failure comes back as a response with `ok` false and an English
// message, so callers have one result shape to handle.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/helper_protocol.h"

namespace app {

inline constexpr DWORD kPipeWaitTimeoutMs = 5000;

// Blocks the calling thread for the whole exchange: up to 5 s waiting for a free instance, then as
// long as the service takes to answer.
[[nodiscard]] common::ReceivedHelperResponse SendHelperRequest(
    const common::HelperRequest& request);

// The exchange itself, with the request's text as it goes on the pipe: whatever bytes it holds.
[[nodiscard]] common::ReceivedHelperResponse SendHelperMessage(std::string_view request);

// Turns the service's answer into the result: "ok" must be a boolean; a failure always carries a
// message.
[[nodiscard]] common::ReceivedHelperResponse InterpretHelperResponse(std::string_view answer);

// Reads one whole message from a pipe handle in message read mode. A message of exactly `limit`
// bytes is accepted. On failure returns nothing and, when `error_text` is given, writes why there.
[[nodiscard]] std::optional<std::string> ReadPipeMessage(HANDLE pipe, std::size_t limit,
                                                         std::string* error_text);

}  // namespace app
