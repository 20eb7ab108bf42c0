// Method channels over the messenger, with the embedding played by FakeMessenger: every incoming
// message is answered at most once, misuse is logged, and replies outlive the engine safely.
#include "flutter_glue/method_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "flutter_glue/binary_messenger_impl.h"
#include "tests/flutter_glue/codec_test_support.h"
#include "tests/flutter_glue/fake_messenger.h"
#include "tests/flutter_glue/recording_result.h"

namespace glue_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodResult;

constexpr char kChannel[] = "com.daviza.vpn/test";
constexpr char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
    "exactly once. Ignoring duplicate result.\n";
constexpr char kLeak[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

using Outcome = std::function<void(MethodResult<>&)>;

Bytes CallBytes(const std::string& method, EncodableValue arguments) {
  return *Codec().EncodeMethodCall(
      MethodCall<>(method, std::make_unique<EncodableValue>(std::move(arguments))));
}

class MethodChannelTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(fake_.lock_depth, 0) << "every lock is released"; }

  FakeMessenger fake_;
  flutter::BinaryMessengerImpl messenger_{fake_.ref()};
  flutter::MethodChannel<> channel_{&messenger_, kChannel, &Codec()};
};

TEST_F(MethodChannelTest, EachAnswerBecomesOneEnvelope) {
  const EncodableValue details = EncodableList{EncodableValue("why"), EncodableValue(2)};
  const EncodableValue value = EncodableMap{{EncodableValue("k"), EncodableValue(1.5)}};
  const struct {
    const char* name;
    Outcome answer;
    Bytes envelope;
    bool null_data;
  } cases[] = {
      {"success with a value", [&](MethodResult<>& r) { r.Success(value); },
       *Codec().EncodeSuccessEnvelope(&value), false},
      {"success without a value", [](MethodResult<>& r) { r.Success(); }, Bytes{0, 0}, false},
      {"error with details", [&](MethodResult<>& r) { r.Error("bad", "Bad thing.", details); },
       *Codec().EncodeErrorEnvelope("bad", "Bad thing.", &details), false},
      {"error with code only", [](MethodResult<>& r) { r.Error("bad"); },
       Bytes{1, 7, 3, 'b', 'a', 'd', 0, 0}, false},
      {"not implemented is an empty answer", [](MethodResult<>& r) { r.NotImplemented(); }, Bytes{},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.responses.clear();
    std::string seen_method;
    EncodableValue seen_arguments;
    channel_.SetMethodCallHandler(
        [&](const MethodCall<>& call, std::unique_ptr<MethodResult<>> result) {
          seen_method = call.method_name();
          seen_arguments = *call.arguments();
          c.answer(*result);
        });
    std::string log;
    int id = 0;
    log = StderrOf([&] { id = fake_.Deliver(kChannel, CallBytes("go", EncodableValue(42))); });
    EXPECT_EQ(log, "");
    EXPECT_EQ(seen_method, "go");
    EXPECT_EQ(seen_arguments, EncodableValue(42));
    ASSERT_EQ(fake_.responses.size(), 1u);
    EXPECT_EQ(fake_.responses[0].message_id, id);
    EXPECT_EQ(fake_.responses[0].bytes, c.envelope);
    EXPECT_EQ(fake_.responses[0].data_was_null, c.null_data);
    EXPECT_EQ(fake_.responses[0].lock_depth, 1) << "answered under the messenger's lock";
    EXPECT_EQ(fake_.references, 0) << "the reply released its messenger reference";
  }
}

TEST_F(MethodChannelTest, ASecondAnswerIsRefusedAndLogged) {
  const struct {
    const char* name;
    Outcome first;
    Outcome second;
    Bytes sent;
  } cases[] = {
      {"success then error", [](MethodResult<>& r) { r.Success(EncodableValue(1)); },
       [](MethodResult<>& r) { r.Error("late"); }, Bytes{0, 3, 1, 0, 0, 0}},
      {"error then success", [](MethodResult<>& r) { r.Error("e"); },
       [](MethodResult<>& r) { r.Success(); }, Bytes{1, 7, 1, 'e', 0, 0}},
      {"not implemented then success", [](MethodResult<>& r) { r.NotImplemented(); },
       [](MethodResult<>& r) { r.Success(); }, Bytes{}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.responses.clear();
    channel_.SetMethodCallHandler([&](const MethodCall<>&, std::unique_ptr<MethodResult<>> r) {
      c.first(*r);
      c.second(*r);
    });
    EXPECT_EQ(StderrOf([&] { fake_.Deliver(kChannel, CallBytes("m", EncodableValue())); }),
              kDuplicateResult);
    ASSERT_EQ(fake_.responses.size(), 1u);
    EXPECT_EQ(fake_.responses[0].bytes, c.sent);
  }
}

TEST_F(MethodChannelTest, AResultDroppedUnansweredLogsTheLeakAndSendsNothing) {
  channel_.SetMethodCallHandler([](const MethodCall<>&, std::unique_ptr<MethodResult<>>) {});
  EXPECT_EQ(StderrOf([&] { fake_.Deliver(kChannel, CallBytes("m", EncodableValue())); }), kLeak);
  EXPECT_TRUE(fake_.responses.empty());
  EXPECT_EQ(fake_.references, 0);
}

TEST_F(MethodChannelTest, AnUndecodableCallGetsAnEmptyAnswerWithoutReachingTheHandler) {
  bool handled = false;
  channel_.SetMethodCallHandler(
      [&](const MethodCall<>&, std::unique_ptr<MethodResult<>>) { handled = true; });
  const std::string log = StderrOf([&] { fake_.Deliver(kChannel, {3, 1, 0, 0, 0}); });
  EXPECT_EQ(log, std::string("Invalid method call; method name is not a string.\n") +
                     "Unable to construct method call from message on channel " + kChannel + "\n");
  EXPECT_FALSE(handled);
  ASSERT_EQ(fake_.responses.size(), 1u);
  EXPECT_TRUE(fake_.responses[0].data_was_null);
  EXPECT_TRUE(fake_.responses[0].bytes.empty());
}

TEST_F(MethodChannelTest, ALaterAnswerIsSentOnlyWhileTheEngineRuns) {
  for (const bool engine_running : {true, false}) {
    SCOPED_TRACE(engine_running);
    fake_.responses.clear();
    fake_.available = true;
    std::unique_ptr<MethodResult<>> kept;
    channel_.SetMethodCallHandler([&](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) {
      kept = std::move(result);
    });
    fake_.Deliver(kChannel, CallBytes("m", EncodableValue()));
    EXPECT_EQ(fake_.references, 1) << "the pending answer holds the messenger";

    fake_.available = engine_running;
    EXPECT_EQ(StderrOf([&] { kept->Success(EncodableValue("late")); }), "");
    EXPECT_EQ(fake_.responses.size(), engine_running ? 1u : 0u);
    kept.reset();
    EXPECT_EQ(fake_.references, 0);
  }
}

TEST_F(MethodChannelTest, ABinaryReplyCalledTwiceAnswersOnce) {
  messenger_.SetMessageHandler(kChannel,
                               [](const std::uint8_t*, std::size_t, flutter::BinaryReply reply) {
                                 const std::uint8_t first[] = {0, 1};
                                 const std::uint8_t second[] = {0, 2};
                                 flutter::BinaryReply copy = reply;
                                 reply(first, sizeof(first));
                                 copy(second, sizeof(second));
                               });
  EXPECT_EQ(StderrOf([&] {
              fake_.Deliver(kChannel, {7, 1, 'm', 0});
            }),
            "Error: Response can be set only once. Ignoring duplicate response.\n");
  ASSERT_EQ(fake_.responses.size(), 1u);
  EXPECT_EQ(fake_.responses[0].bytes, (Bytes{0, 1}));
}

TEST_F(MethodChannelTest, AnExceptionStopsAtTheEmbeddingsCallbacks) {
  channel_.SetMethodCallHandler([](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) {
    result->Success();
    throw std::runtime_error("handler failed");
  });
  EXPECT_EQ(StderrOf([&] { fake_.Deliver(kChannel, CallBytes("m", EncodableValue())); }),
            "Error: A message handler failed with an exception.\n");
  EXPECT_EQ(fake_.responses.size(), 1u);

  struct ThrowingResult : RecordingResult {
    using RecordingResult::RecordingResult;
    void SuccessInternal(const EncodableValue*) override { throw std::runtime_error("no"); }
  };
  channel_.InvokeMethod("ask", nullptr,
                        std::make_unique<ThrowingResult>(std::make_shared<AnswerRecord>()));
  EXPECT_EQ(StderrOf([&] { fake_.AnswerSentMessage(0, {0, 0}); }),
            "Error: A message reply failed with an exception.\n");
  EXPECT_EQ(fake_.references, 0);
}

TEST_F(MethodChannelTest, HandlersAreReplacedRemovedAndOutliveTheChannelObject) {
  std::vector<std::string> calls;
  auto recorder = [&calls](std::string tag) {
    return [&calls, tag](const MethodCall<>& call, std::unique_ptr<MethodResult<>> result) {
      calls.push_back(tag + ":" + call.method_name());
      result->Success();
    };
  };
  {
    flutter::MethodChannel<> scoped(&messenger_, "com.daviza.vpn/other", &Codec());
    scoped.SetMethodCallHandler(recorder("first"));
    scoped.SetMethodCallHandler(recorder("second"));
  }
  ASSERT_TRUE(fake_.HasRoute("com.daviza.vpn/other"));
  fake_.Deliver("com.daviza.vpn/other", CallBytes("a", EncodableValue()));
  EXPECT_EQ(calls, std::vector<std::string>{"second:a"});

  channel_.SetMethodCallHandler(recorder("mine"));
  fake_.Deliver(kChannel, CallBytes("b", EncodableValue()));
  EXPECT_EQ(calls.back(), "mine:b");
  channel_.SetMethodCallHandler(nullptr);
  EXPECT_FALSE(fake_.HasRoute(kChannel));
  EXPECT_TRUE(fake_.HasRoute("com.daviza.vpn/other"));
}

// The handler's own copy keeps running when it removes itself (a use after free under ASan if
// the stored handler ran).
TEST_F(MethodChannelTest, AHandlerThatRemovesItselfFinishesItsCall) {
  const std::string answer(100, 'a');  // Held on the heap inside the handler.
  channel_.SetMethodCallHandler(
      [this, answer](const MethodCall<>&, std::unique_ptr<MethodResult<>> result) {
        channel_.SetMethodCallHandler(nullptr);
        result->Success(EncodableValue(answer));
      });
  fake_.Deliver(kChannel, CallBytes("once", EncodableValue()));
  const EncodableValue expected(answer);
  ASSERT_EQ(fake_.responses.size(), 1u);
  EXPECT_EQ(fake_.responses[0].bytes, *Codec().EncodeSuccessEnvelope(&expected));
  EXPECT_FALSE(fake_.HasRoute(kChannel));
}

TEST_F(MethodChannelTest, InvokeMethodCompletesTheResultFromTheReply) {
  const EncodableValue details = EncodableValue("d");
  const struct {
    const char* name;
    Bytes reply;
    Answer answer;
    std::string log;
  } cases[] = {
      {"empty reply", {}, Answer{Answer::kNotImplemented, {}, "", ""}, ""},
      {"reply starting with 2",
       {2, 0},
       Answer{Answer::kNotImplemented, {}, "", ""},
       std::string("Unable to decode reply to method invocation on channel ") + kChannel + "\n"},
      {"success", {0, 3, 5, 0, 0, 0}, Answer{Answer::kSuccess, EncodableValue(5), "", ""}, ""},
      {"error", *Codec().EncodeErrorEnvelope("c", "m", &details),
       Answer{Answer::kError, details, "c", "m"}, ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.name);
    std::shared_ptr<AnswerRecord> record;
    channel_.InvokeMethod("ask", std::make_unique<EncodableValue>(static_cast<std::int32_t>(i)),
                          RecordingResult::Make(record));
    ASSERT_EQ(fake_.sent.size(), i + 1);
    EXPECT_EQ(fake_.sent[i].channel, kChannel);
    EXPECT_TRUE(fake_.sent[i].with_reply);
    EXPECT_EQ(fake_.sent[i].bytes, CallBytes("ask", EncodableValue(static_cast<std::int32_t>(i))));
    EXPECT_TRUE(record->answers.empty());

    EXPECT_EQ(StderrOf([&] { fake_.AnswerSentMessage(i, c.reply); }), c.log);
    ASSERT_EQ(record->answers.size(), 1u);
    EXPECT_EQ(record->answers[0].kind, c.answer.kind);
    EXPECT_EQ(record->answers[0].value, c.answer.value);
    EXPECT_EQ(record->answers[0].code, c.answer.code);
    EXPECT_EQ(record->answers[0].message, c.answer.message);
    EXPECT_TRUE(record->destroyed) << "the reply and its result are freed after running";
  }
}

TEST_F(MethodChannelTest, InvokeMethodWithoutAResultWaitsForNothing) {
  channel_.InvokeMethod("authCallback",
                        std::make_unique<EncodableValue>(
                            EncodableMap{{EncodableValue("url"), EncodableValue("daviza://x")}}));
  channel_.InvokeMethod("bare", nullptr);
  ASSERT_EQ(fake_.sent.size(), 2u);
  EXPECT_FALSE(fake_.sent[0].with_reply);
  EXPECT_EQ(fake_.sent[0].bytes,
            CallBytes("authCallback",
                      EncodableMap{{EncodableValue("url"), EncodableValue("daviza://x")}}));
  EXPECT_EQ(fake_.sent[1].bytes, (Bytes{7, 4, 'b', 'a', 'r', 'e', 0}));
}

TEST_F(MethodChannelTest, AMessageTheEngineRefusesFreesItsReplyAtOnce) {
  fake_.accept_messages_with_reply = false;
  std::shared_ptr<AnswerRecord> record;
  channel_.InvokeMethod("ask", nullptr, RecordingResult::Make(record));
  EXPECT_TRUE(fake_.sent.empty());
  EXPECT_TRUE(record->destroyed);
  EXPECT_TRUE(record->answers.empty());
}

}  // namespace
}  // namespace glue_test
