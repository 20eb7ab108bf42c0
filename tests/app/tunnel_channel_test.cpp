// The Tunnel channel's handler against a scripted service: which request each call sends, and how
// each answer becomes the call's one result.
#include "app/tunnel_channel.h"

#include <gtest/gtest.h>

#include "tests/flutter_glue/glue_test_support.h"

namespace {

using common::HelperRequest;
using common::ReceivedHelperResponse;
using flutter::EncodableMap;
using glue_test::Answer;
using glue_test::EncodableValue;

TEST(TunnelChannel, EachCallSendsAtMostOneRequestAndIsAnsweredOnce) {
  static constexpr char kConfig[] = "[Interface]\r\nPrivateKey = \"k\\ey\"\n\t\xc3\xa9\0end";
  const std::string config(kConfig, sizeof(kConfig) - 1);
  const std::string why = "Failed to install the tunnel service.\n\nwireguard.exe said \"no\".";
  const ReceivedHelperResponse ok{.ok = true, .message = "Ignored.", .statusRaw = std::nullopt};
  const ReceivedHelperResponse failed{.ok = false, .message = why, .statusRaw = 3};
  const ReceivedHelperResponse running{.ok = true, .message = "", .statusRaw = 3};
  const auto config_map = [](EncodableValue key, EncodableValue value) {
    return std::optional<EncodableValue>(EncodableMap{{key, value}});
  };
  const EncodableValue config_as_bytes = std::vector<std::uint8_t>{'c', 'o', 'n', 'f', 'i', 'g'};
  // Keys other than "config" are ignored, and "stop" and "status" ignore their arguments.
  const EncodableValue args =
      EncodableMap{{EncodableValue("config"), config}, {1, {}}, {EncodableValue("x"), 7}};
  const HelperRequest start{.command = "start", .config = config};
  const HelperRequest stop{.command = "stop", .config = {}};
  const HelperRequest status{.command = "status", .config = {}};
  const Answer bad_args = Answer::Error("bad_args", "Missing config");
  // The method, its arguments (nullopt: none at all), the service's response, the request sent
  // (nullopt: none), the answer.
  const std::tuple<const char*, std::optional<EncodableValue>, ReceivedHelperResponse,
                   std::optional<HelperRequest>, Answer>
      cases[] = {
          {"start", std::nullopt, ok, std::nullopt, bad_args},
          {"start", EncodableValue(config), ok, std::nullopt, bad_args},
          {"start", config_map(config_as_bytes, config), ok, std::nullopt, bad_args},
          {"start", config_map("config", 1), ok, std::nullopt, bad_args},
          {"start", config_map("config", ""), ok, std::nullopt, bad_args},
          {"start", args, ok, start, Answer::Success()},
          {"stop", args, ok, stop, Answer::Success()},
          {"status", args, running, status, Answer::Success(EncodableValue(3))},
          {"status", std::nullopt, ok, status, Answer::Success(EncodableValue(0))},
          {"start", args, failed, start, Answer::Error("start_failed", why)},
          {"stop", std::nullopt, failed, stop, Answer::Error("stop_failed", why)},
          {"status", std::nullopt, failed, status, Answer::Error("status_failed", why)},
          {"Start", args, ok, std::nullopt, Answer::NotImplemented()},
      };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [method, arguments, response, request, answer] = cases[i];
    std::vector<HelperRequest> requests;
    auto answers = std::make_shared<std::vector<Answer>>();
    app::HandleTunnelMethodCallWith(
        [&](const HelperRequest& sent) { return requests.push_back(sent), std::get<2>(cases[i]); },
        flutter::MethodCall<>(method,
                              arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr),
        std::make_unique<glue_test::RecordingResult>(answers));
    EXPECT_EQ(requests, request ? std::vector{*request} : std::vector<HelperRequest>{}) << i;
    EXPECT_EQ(*answers, std::vector{answer}) << i;
    EXPECT_EQ(answers.use_count(), 1) << i << ": the result is gone before the call returns";
  }
}

}  // namespace
