#include "app/tunnel_channel.h"

#include <utility>

#ifdef _WIN32
#include "app/tunnel_helper_client.h"
#include "common/log_file.h"
#include "common/log_line.h"
#endif

namespace app {
namespace {

// "start" and "stop" succeed without a value.
void AnswerWithoutValue(const common::ReceivedHelperResponse& response, const char* error_code,
                        flutter::MethodResult<>& result) {
  if (!response.ok) {
    result.Error(error_code, response.message);
  } else {
    result.Success();
  }
}

}  // namespace

std::optional<std::string> GetStringArgument(const flutter::MethodCall<>& call,
                                             std::string_view key) {
  const auto* arguments = call.arguments();
  if (arguments == nullptr) return std::nullopt;
  const auto* map = std::get_if<flutter::EncodableMap>(arguments);
  if (map == nullptr) return std::nullopt;
  const auto entry = map->find(flutter::EncodableValue(std::string(key)));
  if (entry == map->end()) return std::nullopt;
  const auto* text = std::get_if<std::string>(&entry->second);
  if (text == nullptr) return std::nullopt;
  return *text;
}

void HandleTunnelMethodCallWith(const HelperRequestSender& send, const flutter::MethodCall<>& call,
                                std::unique_ptr<flutter::MethodResult<>> result) {
  const std::string& method = call.method_name();
  if (method == "start") {
    const std::optional<std::string> config = GetStringArgument(call, "config");
    if (!config || config->empty()) {
      result->Error("bad_args", "Missing config");
      return;
    }
    // The text goes on unchanged; the service checks it.
    AnswerWithoutValue(send({.command = "start", .config = *config}), "start_failed", *result);
  } else if (method == "stop") {
    AnswerWithoutValue(send({.command = "stop", .config = {}}), "stop_failed", *result);
  } else if (method == "status") {
    const common::ReceivedHelperResponse response = send({.command = "status", .config = {}});
    if (!response.ok) {
      result->Error("status_failed", response.message);
      return;
    }
    result->Success(flutter::EncodableValue(response.statusRaw.value_or(0)));
  } else {
    result->NotImplemented();
  }
}

#ifdef _WIN32
void HandleTunnelMethodCall(const flutter::MethodCall<>& call,
                            std::unique_ptr<flutter::MethodResult<>> result) {
  const ULONGLONG started = GetTickCount64();
  std::optional<common::ReceivedHelperResponse> answer;
  HandleTunnelMethodCallWith(
      [&answer](const common::HelperRequest& request) {
        return *(answer = SendHelperRequest(request));
      },
      call, std::move(result));
  const std::string outcome = !answer      ? "not sent"
                              : answer->ok ? "ok"
                                           : std::string(common::FirstLine(answer->message));
  common::Log(answer && answer->ok ? common::LogLevel::kInfo : common::LogLevel::kWarning,
              "tunnel call",
              {{"method", call.method_name()},
               {"outcome", outcome},
               {"duration_ms", common::MillisecondsSince(started)}});
}
#endif

}  // namespace app
