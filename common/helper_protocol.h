// The two messages on the helper pipe "\\.\pipe\DAVIZA.TunnelHelper": one request from the app,
// one response from the service, each a single pipe message of compact JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

inline constexpr std::size_t kPipeReadChunkBytes = 4096;
inline constexpr std::size_t kMaxHelperRequestBytes = 73728;
inline constexpr std::size_t kMaxHelperResponseBytes = 131072;

template <typename StatusCode>
struct BasicHelperResponse {
  bool ok = false;
  std::string message;
  std::optional<StatusCode> statusRaw;
};

}  // namespace common

namespace tunnel_helper {
// The service writes the state code as an unsigned number.
using HelperResponse = common::BasicHelperResponse<std::uint32_t>;
}  // namespace tunnel_helper

namespace app {
// The app reads the state code as a 32-bit signed number.
using HelperResponse = common::BasicHelperResponse<std::int32_t>;
}  // namespace app

namespace common {

// {"command":"..."} or {"command":"...","config":"..."}; an empty config is still written.
std::string EncodeHelperRequest(std::string_view command,
                                std::optional<std::string_view> config = std::nullopt);

// {"ok":...} followed by "message" when it is not empty and "statusRaw" when present.
std::string EncodeHelperResponse(const tunnel_helper::HelperResponse& response);

tunnel_helper::HelperResponse MakeFailureResponse(std::string message);

}  // namespace common
