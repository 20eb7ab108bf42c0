// The two messages on the helper pipe "\\.\pipe\DAVIZA.TunnelHelper", both ends: one request from
// the app, one response from the service, each a single pipe message of compact JSON. The app
// encodes requests and decodes responses here; the service decodes requests and encodes
// responses here. Decoding is the narrow field search of helper_json.h, not a JSON parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

inline constexpr std::size_t kPipeReadChunkBytes = 4096;
inline constexpr std::size_t kMaxHelperRequestBytes = 73728;
inline constexpr std::size_t kMaxHelperResponseBytes = 131072;
// Begins the service's answer to a request it could not read (in time): one it did not carry out.
inline constexpr char kRequestNotReadPrefix[] =
    "Failed to read request from the tunnel helper pipe: ";

// "start" with the tunnel's config, "stop" or "status".
struct HelperRequest {
  std::string command;
  std::optional<std::string> config;

  bool operator==(const HelperRequest&) const = default;
};

template <typename StatusCode>
struct BasicHelperResponse {
  bool ok = false;
  std::string message;  // Empty on success; on failure the reason, in English.
  std::optional<StatusCode> statusRaw;

  bool operator==(const BasicHelperResponse&) const = default;
};

// What the service answers: the state code as an unsigned number.
using HelperResponse = BasicHelperResponse<std::uint32_t>;
// What the app reads: the state code as a 32-bit signed number.
using ReceivedHelperResponse = BasicHelperResponse<std::int32_t>;

// {"command":"..."} or {"command":"...","config":"..."}; an empty config is still written.
[[nodiscard]] std::string EncodeHelperRequest(const HelperRequest& request);

// The string fields "command" and "config" wherever they stand; anything else is ignored. Nothing
// when there is no string "command".
[[nodiscard]] std::optional<HelperRequest> DecodeHelperRequest(std::string_view text);

// {"ok":...} followed by "message" when it is not empty and "statusRaw" when present.
[[nodiscard]] std::string EncodeHelperResponse(const HelperResponse& response);

// "ok", then "message" (empty when absent) and "statusRaw". Nothing when there is no boolean
// "ok"; then nothing else is read.
[[nodiscard]] std::optional<ReceivedHelperResponse> DecodeHelperResponse(std::string_view text);

[[nodiscard]] HelperResponse MakeFailureResponse(std::string message);

}  // namespace common
