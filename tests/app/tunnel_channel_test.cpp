// The Tunnel channel's handler against a scripted service: which request each call sends, and how
// each answer becomes the call's one result.
#include "app/tunnel_channel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/helper_json.h"
#include "flutter_glue/binary_messenger_impl.h"
#include "flutter_glue/method_channel.h"
#include "tests/flutter_glue/codec_test_support.h"
#include "tests/flutter_glue/fake_messenger.h"
#include "tests/flutter_glue/recording_result.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using glue_test::Answer;
using glue_test::AnswerRecord;
using glue_test::RecordingResult;

// Stands in for the service on the other end of the pipe: records each request, gives one answer.
struct ScriptedService {
  app::HelperResponse answer{.ok = true, .message = "", .statusRaw = std::nullopt};
  std::vector<std::string> requests;

  app::HelperRequestSender Sender() {
    return [this](std::string_view request) {
      requests.emplace_back(request);
      return answer;
    };
  }
};

// Runs one call through the handler and returns its only answer.
Answer Call(ScriptedService& service, const std::string& method,
            std::unique_ptr<EncodableValue> arguments) {
  std::shared_ptr<AnswerRecord> record;
  app::HandleTunnelMethodCallWith(service.Sender(),
                                  flutter::MethodCall<>(method, std::move(arguments)),
                                  RecordingResult::Make(record));
  EXPECT_EQ(record->answers.size(), 1u) << "every call is answered exactly once";
  EXPECT_TRUE(record->destroyed) << "the result is released before the handler returns";
  return record->answers.empty() ? Answer{Answer::kNotImplemented, {}, "none", ""}
                                 : record->answers.front();
}

std::unique_ptr<EncodableValue> Value(EncodableValue value) {
  return std::make_unique<EncodableValue>(std::move(value));
}

std::unique_ptr<EncodableValue> ConfigMap(EncodableValue key, EncodableValue config) {
  return Value(EncodableMap{{std::move(key), std::move(config)}});
}

TEST(TunnelChannel, StartWithoutAUsableConfigIsBadArgsAndSendsNothing) {
  const std::vector<std::uint8_t> config_bytes{'c', 'o', 'n', 'f', 'i', 'g'};
  struct Case {
    const char* name;
    std::unique_ptr<EncodableValue> arguments;
  };
  Case cases[] = {
      {"no arguments", nullptr},
      {"null arguments", Value(EncodableValue())},
      {"a list", Value(EncodableList{EncodableValue("config"), EncodableValue("[Interface]")})},
      {"a string", Value(EncodableValue("[Interface]"))},
      {"a map without config", ConfigMap(EncodableValue("conf"), EncodableValue("[Interface]"))},
      {"config bound to a number", ConfigMap(EncodableValue("config"), EncodableValue(1))},
      {"config bound to bytes",
       ConfigMap(EncodableValue("config"), EncodableValue(std::vector<std::uint8_t>{'x'}))},
      {"config empty", ConfigMap(EncodableValue("config"), EncodableValue(""))},
      {"the key given as a byte list",
       ConfigMap(EncodableValue(config_bytes), EncodableValue("x"))},
      {"the key in capitals", ConfigMap(EncodableValue("Config"), EncodableValue("x"))},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedService service;
    const Answer answer = Call(service, "start", std::move(c.arguments));
    EXPECT_EQ(answer.kind, Answer::kError);
    EXPECT_EQ(answer.code, "bad_args");
    EXPECT_EQ(answer.message, "Missing config");
    EXPECT_FALSE(answer.value.has_value()) << "no details";
    EXPECT_TRUE(service.requests.empty());
  }
}

TEST(TunnelChannel, StartPassesTheConfigOnUnchangedAndIgnoresOtherKeys) {
  static constexpr char kConfig[] = "[Interface]\r\nPrivateKey = \"k\\ey\"\n\t\xc3\xa9\0end";
  const std::string config(kConfig, sizeof(kConfig) - 1);
  ScriptedService service;
  const Answer answer = Call(service, "start",
                             Value(EncodableMap{{EncodableValue("config"), EncodableValue(config)},
                                                {EncodableValue("name"), EncodableValue(7)},
                                                {EncodableValue(1), EncodableValue("x")}}));
  EXPECT_EQ(answer.kind, Answer::kSuccess);
  EXPECT_FALSE(answer.value.has_value()) << "success without a value";
  ASSERT_EQ(service.requests.size(), 1u);
  EXPECT_EQ(service.requests[0], common::EncodeHelperRequest("start", config));
  EXPECT_EQ(common::FindJsonStringField(service.requests[0], "config"), config);
}

TEST(TunnelChannel, StopAndStatusIgnoreTheirArguments) {
  for (const char* method : {"stop", "status"}) {
    std::vector<std::unique_ptr<EncodableValue>> argument_sets;
    argument_sets.push_back(nullptr);
    argument_sets.push_back(Value(EncodableValue()));
    argument_sets.push_back(Value(EncodableValue("junk")));
    argument_sets.push_back(ConfigMap(EncodableValue("config"), EncodableValue("[Interface]")));
    argument_sets.push_back(Value(EncodableList{EncodableValue(1.5)}));
    for (std::size_t i = 0; i < argument_sets.size(); ++i) {
      SCOPED_TRACE(std::string(method) + " with argument set " + std::to_string(i));
      ScriptedService service;
      EXPECT_EQ(Call(service, method, std::move(argument_sets[i])).kind, Answer::kSuccess);
      EXPECT_EQ(service.requests, std::vector<std::string>{common::EncodeHelperRequest(method)});
    }
  }
}

TEST(TunnelChannel, StatusReportsTheStateCodeOrZero) {
  const struct {
    const char* name;
    std::optional<std::int32_t> status_raw;
    std::int32_t reported;
  } cases[] = {
      {"running", 3, 3},
      {"not running", 0, 0},
      {"no state code in the answer", std::nullopt, 0},
      {"an unexpected code passes through", -7, -7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedService service;
    service.answer = {.ok = true, .message = "Ignored on success.", .statusRaw = c.status_raw};
    const Answer answer = Call(service, "status", nullptr);
    EXPECT_EQ(answer.kind, Answer::kSuccess);
    EXPECT_EQ(answer.value, EncodableValue(c.reported)) << "a 32-bit integer";
  }
}

TEST(TunnelChannel, FailuresCarryTheServiceMessageUnderTheMethodsCode) {
  const struct {
    const char* method;
    const char* code;
  } cases[] = {{"start", "start_failed"}, {"stop", "stop_failed"}, {"status", "status_failed"}};
  const std::string message =
      "Failed to install the WireGuard tunnel service.\n\nwireguard.exe said \"no\".";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    ScriptedService service;
    service.answer = {.ok = false, .message = message, .statusRaw = 3};
    const Answer answer =
        Call(service, c.method, ConfigMap(EncodableValue("config"), EncodableValue("[Peer]")));
    EXPECT_EQ(answer.kind, Answer::kError);
    EXPECT_EQ(answer.code, c.code);
    EXPECT_EQ(answer.message, message);
    EXPECT_FALSE(answer.value.has_value()) << "no details";
    EXPECT_EQ(service.requests.size(), 1u);
  }
}

TEST(TunnelChannel, OtherMethodNamesAreNotImplementedAndSendNothing) {
  for (const char* method : {"Start", "STOP", "Status", "start ", "", "consumeAuthCallback"}) {
    SCOPED_TRACE(method);
    ScriptedService service;
    EXPECT_EQ(Call(service, method, ConfigMap(EncodableValue("config"), EncodableValue("x"))).kind,
              Answer::kNotImplemented);
    EXPECT_TRUE(service.requests.empty());
  }
}

TEST(TunnelChannel, AnswersTheDartSideThroughTheChannel) {
  glue_test::FakeMessenger engine;
  flutter::BinaryMessengerImpl messenger(engine.ref());
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  ScriptedService service;
  {
    flutter::MethodChannel<> channel(&messenger, app::kTunnelChannelName, &codec);
    channel.SetMethodCallHandler(
        [sender = service.Sender()](const flutter::MethodCall<>& call,
                                    std::unique_ptr<flutter::MethodResult<>> result) {
          app::HandleTunnelMethodCallWith(sender, call, std::move(result));
        });
  }
  auto call_bytes = [&codec](const char* method, std::unique_ptr<EncodableValue> arguments) {
    return *codec.EncodeMethodCall(flutter::MethodCall<>(method, std::move(arguments)));
  };

  service.answer = {.ok = true, .message = "", .statusRaw = 3};
  engine.Deliver(app::kTunnelChannelName, call_bytes("status", nullptr));
  service.answer = {.ok = false, .message = "It broke.", .statusRaw = std::nullopt};
  engine.Deliver(app::kTunnelChannelName,
                 call_bytes("start", ConfigMap(EncodableValue("config"), EncodableValue("c"))));
  engine.Deliver(app::kTunnelChannelName, call_bytes("restart", nullptr));

  ASSERT_EQ(engine.responses.size(), 3u);
  EXPECT_EQ(engine.responses[0].bytes, (glue_test::Bytes{0, 3, 3, 0, 0, 0}));
  EXPECT_EQ(engine.responses[1].bytes, *codec.EncodeErrorEnvelope("start_failed", "It broke."));
  EXPECT_TRUE(engine.responses[2].bytes.empty());
  EXPECT_EQ(service.requests,
            (std::vector<std::string>{common::EncodeHelperRequest("status"),
                                      common::EncodeHelperRequest("start", "c")}));
}

}  // namespace
