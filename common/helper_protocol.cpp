#include "common/helper_protocol.h"

#include "common/helper_json.h"

namespace common {

std::string EncodeHelperRequest(const HelperRequest& request) {
  std::string text = "{\"command\":\"";
  text += EscapeJsonString(request.command);
  text += '"';
  if (request.config) {
    text += ",\"config\":\"";
    text += EscapeJsonString(*request.config);
    text += '"';
  }
  text += '}';
  return text;
}

std::optional<HelperRequest> DecodeHelperRequest(std::string_view text) {
  std::optional<std::string> command = FindJsonStringField(text, "command");
  if (!command) return std::nullopt;
  return HelperRequest{.command = std::move(*command),
                       .config = FindJsonStringField(text, "config")};
}

std::string EncodeHelperResponse(const HelperResponse& response) {
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

std::optional<ReceivedHelperResponse> DecodeHelperResponse(std::string_view text) {
  const std::optional<bool> ok = FindJsonBoolField(text, "ok");
  if (!ok) return std::nullopt;
  return ReceivedHelperResponse{
      .ok = *ok,
      .message = FindJsonStringField(text, "message").value_or(""),
      .statusRaw = FindJsonIntField(text, "statusRaw"),
  };
}

HelperResponse MakeFailureResponse(std::string message) {
  return {.ok = false, .message = std::move(message), .statusRaw = std::nullopt};
}

}  // namespace common
