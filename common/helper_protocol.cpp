#include "common/helper_protocol.h"

#include "common/helper_json.h"

namespace common {

std::string EncodeHelperRequest(std::string_view command, std::optional<std::string_view> config) {
  std::string text = "{\"command\":\"";
  text += EscapeJsonString(command);
  text += '"';
  if (config) {
    text += ",\"config\":\"";
    text += EscapeJsonString(*config);
    text += '"';
  }
  text += '}';
  return text;
}

std::string EncodeHelperResponse(const tunnel_helper::HelperResponse& response) {
  std::string text = response.ok ? "{\"ok\":true" : "{\"ok\":false";
  if (!response.message.empty()) {
    text += ",\"message\":\"";
    text += EscapeJsonString(response.message);
    text += '"';
  }
  if (response.statusRaw) {
    text += ",\"statusRaw\":";
    text += std::to_string(*response.statusRaw);
  }
  text += '}';
  return text;
}

tunnel_helper::HelperResponse MakeFailureResponse(std::string message) {
  return {.ok = false, .message = std::move(message), .statusRaw = std::nullopt};
}

}  // namespace common
