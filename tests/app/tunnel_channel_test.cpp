// The Tunnel channel's handler against a scripted service: which request each call sends, and how
// each answer becomes the call's one result.
#include "app/tunnel_channel.h"

#include <gtest/gtest.h>

#include "tests/flutter_glue/recording_result.h"

namespace {

using flutter::EncodableMap;
using glue_test::Answer;
using glue_test::EncodableValue;

EncodableValue Map(EncodableValue key, EncodableValue value) { return EncodableMap{{key, value}}; }

TEST(TunnelChannel, EachCallSendsAtMostOneRequestAndIsAnsweredOnce) {
  static constexpr char kConfig[] = "[Interface]\r\nPrivateKey = \"k\\ey\"\n\t\xc3\xa9\0end";
  const std::string config(kConfig, sizeof(kConfig) - 1);
  const std::string why = "Failed to install the tunnel service.\n\nwireguard.exe said \"no\".";
  const app::HelperResponse ok{.ok = true, .message = "Ignored.", .statusRaw = std::nullopt};
  const app::HelperResponse failed{.ok = false, .message = why, .statusRaw = 3};
  const EncodableValue start_args = Map(EncodableValue("config"), EncodableValue(config));
  const Answer bad_args = Answer::Error("bad_args", "Missing config");
  const struct {
    const char* method;
    std::optional<EncodableValue> arguments;  // nullopt: none at all
    app::HelperResponse response;
    std::optional<std::string> request;  // nullopt: nothing is sent
    Answer answer;
  } cases[] = {
      {"start", std::nullopt, ok, std::nullopt, bad_args},
      {"start", EncodableValue(config), ok, std::nullopt, bad_args},
      {"start", Map(EncodableValue("Config"), EncodableValue(config)), ok, std::nullopt, bad_args},
      {"start", Map(EncodableValue(std::vector<std::uint8_t>{'c', 'o', 'n', 'f', 'i', 'g'}),
                    EncodableValue(config)), ok, std::nullopt, bad_args},
      {"start", Map(EncodableValue("config"), EncodableValue(1)), ok, std::nullopt, bad_args},
      {"start", Map(EncodableValue("config"), EncodableValue("")), ok, std::nullopt, bad_args},
      {"start",
       EncodableMap{{EncodableValue("config"), EncodableValue(config)},
                    {EncodableValue("name"), EncodableValue(7)}, {EncodableValue(1), {}}},
       ok, common::EncodeHelperRequest("start", config), Answer::Success()},
      {"stop", start_args, ok, common::EncodeHelperRequest("stop"), Answer::Success()},
      {"status", start_args, {.ok = true, .message = "", .statusRaw = 3},
       common::EncodeHelperRequest("status"), Answer::Success(EncodableValue(3))},
      {"status", std::nullopt, ok, common::EncodeHelperRequest("status"),
       Answer::Success(EncodableValue(0))},
      {"status", std::nullopt, {.ok = true, .message = "", .statusRaw = -7},
       common::EncodeHelperRequest("status"), Answer::Success(EncodableValue(-7))},
      {"start", start_args, failed, common::EncodeHelperRequest("start", config),
       Answer::Error("start_failed", why)},
      {"stop", std::nullopt, failed, common::EncodeHelperRequest("stop"),
       Answer::Error("stop_failed", why)},
      {"status", std::nullopt, failed, common::EncodeHelperRequest("status"),
       Answer::Error("status_failed", why)},
      {"Start", start_args, ok, std::nullopt, Answer::NotImplemented()},
      {"", start_args, ok, std::nullopt, Answer::NotImplemented()},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    const auto& c = cases[i];
    std::vector<std::string> requests;
    auto answers = std::make_shared<std::vector<Answer>>();
    app::HandleTunnelMethodCallWith(
        [&](std::string_view request) { return requests.emplace_back(request), c.response; },
        flutter::MethodCall<>(c.method, c.arguments ? std::make_unique<EncodableValue>(
                                                          *c.arguments) : nullptr),
        std::make_unique<glue_test::RecordingResult>(answers));
    EXPECT_EQ(requests, c.request ? std::vector{*c.request} : std::vector<std::string>{});
    EXPECT_EQ(*answers, std::vector{c.answer});
    EXPECT_EQ(answers.use_count(), 1) << "the result is gone before the call returns";
  }
}

}  // namespace
