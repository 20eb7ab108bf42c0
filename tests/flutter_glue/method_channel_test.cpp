// Method channels over the messenger, with the embedding's messenger played by Engine: every
// incoming message is answered at most once, misuse is logged, and replies outlive the engine.
#include "flutter_glue/method_channel.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "flutter_glue/binary_messenger_impl.h"
#include "tests/flutter_glue/glue_test_support.h"

namespace glue_test {

constexpr char kChannel[] = "com.daviza.vpn/test";

// The engine's side of the messenger.
struct Engine {
  FlutterDesktopMessengerRef ref() { return reinterpret_cast<FlutterDesktopMessengerRef>(this); }
  // Hands `bytes` to the channel's handler and returns what was logged meanwhile.
  std::string Deliver(const Bytes& bytes, const std::string& channel = kChannel) {
    const auto* handle = reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(this);
    const FlutterDesktopMessage message{sizeof(message), channel.c_str(), bytes.data(),
                                        bytes.size(), handle};
    const auto route = routes.at(channel);
    return StderrOf([&] { route.first(ref(), &message, route.second); });
  }
  // Runs the reply of the `index`-th message sent, as the engine does once the answer is there.
  void Reply(std::size_t index, const Bytes& bytes) {
    const auto& [message, reply, user_data] = sent.at(index);
    reply(bytes.data(), bytes.size(), user_data);
  }

  std::map<std::string, std::pair<FlutterDesktopMessageCallback, void*>> routes;
  std::vector<std::tuple<Bytes, FlutterDesktopBinaryReply, void*>> sent;  // the reply may be null
  std::vector<std::optional<Bytes>> responses;                            // nullopt: null data
  bool accepts_replies = true;
  bool available = true;
  int references = 0;
  int lock_depth = 0;
};

Engine& Of(FlutterDesktopMessengerRef messenger) { return *reinterpret_cast<Engine*>(messenger); }

}  // namespace glue_test

extern "C" {
using glue_test::Bytes;
using glue_test::Of;
using Ref = FlutterDesktopMessengerRef;

void FlutterDesktopMessengerSetCallback(Ref m, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* data) {
  Of(m).routes.erase(channel);
  if (callback) Of(m).routes[channel] = {callback, data};
}
bool FlutterDesktopMessengerSend(Ref m, const char*, const uint8_t* bytes, size_t size) {
  return Of(m).sent.emplace_back(Bytes(bytes, bytes + size), nullptr, nullptr), true;
}
bool FlutterDesktopMessengerSendWithReply(Ref m, const char*, const uint8_t* bytes, size_t size,
                                          FlutterDesktopBinaryReply reply, void* data) {
  if (Of(m).accepts_replies) Of(m).sent.emplace_back(Bytes(bytes, bytes + size), reply, data);
  return Of(m).accepts_replies;
}
void FlutterDesktopMessengerSendResponse(Ref m, const FlutterDesktopMessageResponseHandle*,
                                         const uint8_t* data, size_t size) {
  EXPECT_EQ(Of(m).lock_depth, 1) << "an answer is sent under the messenger's lock";
  Of(m).responses.push_back(data ? std::optional(Bytes(data, data + size)) : std::nullopt);
}
Ref FlutterDesktopMessengerAddRef(Ref m) { return ++Of(m).references, m; }
void FlutterDesktopMessengerRelease(Ref m) { --Of(m).references; }
Ref FlutterDesktopMessengerLock(Ref m) { return ++Of(m).lock_depth, m; }
void FlutterDesktopMessengerUnlock(Ref m) { --Of(m).lock_depth; }
bool FlutterDesktopMessengerIsAvailable(Ref m) { return Of(m).available; }
}  // extern "C"

namespace glue_test {
namespace {

using flutter::MethodCall;
using flutter::MethodResult;
using Answerer = std::function<void(std::unique_ptr<MethodResult<>>)>;
using Responses = std::vector<std::optional<Bytes>>;

Bytes CallBytes(const std::string& method, EncodableValue arguments = {}) {
  return *Codec().EncodeMethodCall(
      MethodCall<>(method, std::make_unique<EncodableValue>(std::move(arguments))));
}

// A channel whose handler records each call's arguments and answers it with `answer_`.
class MethodChannelTest : public testing::Test {
 protected:
  void SetUp() override {
    channel_.SetMethodCallHandler([this](const MethodCall<>& call, auto result) {
      arguments_.push_back(*call.arguments());
      answer_(std::move(result));
    });
  }
  void TearDown() override {
    EXPECT_EQ(engine_.lock_depth, 0);
    EXPECT_EQ(engine_.references, 0) << "every reply has released the messenger";
  }

  Engine engine_;
  flutter::BinaryMessengerImpl messenger_{engine_.ref()};
  flutter::MethodChannel<> channel_{&messenger_, kChannel, &Codec()};
  Answerer answer_;
  std::vector<EncodableValue> arguments_;
};

TEST_F(MethodChannelTest, EachIncomingCallIsAnsweredOnceAndMisuseIsLogged) {
  const std::string not_a_call =
      std::string("Invalid method call; method name is not a string.\n") +
      "Unable to construct method call from message on channel " + kChannel + "\n";
  const std::string twice =
      "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
      "exactly once. Ignoring duplicate result.\n";
  const std::string leak = "Warning: Failed to respond to a message. This is a memory leak.\n";
  const std::string thrown = "Error: A message handler failed with an exception.\n";
  const Answerer echo = [&](auto r) { r->Success(arguments_.at(0)); };
  const Answerer refuse = [&](auto r) { r->Error("bad", "Bad.", arguments_.at(0)); };
  const Answerer thrice = [](auto r) { r->Error("e"), r->Success(), r->NotImplemented(); };
  const Answerer throw_after = [](auto r) { r->Success(), throw std::runtime_error("failed"); };
  const Bytes refused = {1, 7, 3, 'b', 'a', 'd', 7, 4, 'B', 'a', 'd', '.', 0};
  // The call, how the handler answers it (null: the handler is never reached), what the engine
  // gets, what is logged.
  const std::tuple<Bytes, Answerer, Responses, std::string> cases[] = {
      {CallBytes("go", 42), echo, {Bytes{0, 3, 42, 0, 0, 0}}, ""},
      {{7, 2, 'g', 'o'}, refuse, {refused}, kInvalidRead},  // no arguments: null
      {CallBytes("m"), [](auto r) { r->NotImplemented(); }, {std::nullopt}, ""},
      {{3, 1, 0, 0, 0}, nullptr, {std::nullopt}, not_a_call},
      {{}, nullptr, {std::nullopt}, kInvalidRead + not_a_call},
      {CallBytes("m"), thrice, {Bytes{1, 7, 1, 'e', 0, 0}}, twice + twice},
      {CallBytes("m"), [](auto) {}, {}, leak},
      {CallBytes("m"), throw_after, {Bytes{0, 0}}, thrown},
  };
  for (const auto& [call, answer, responses, log] : cases) {
    engine_.responses.clear();
    arguments_.clear();
    answer_ = answer;
    EXPECT_EQ(engine_.Deliver(call), log);
    EXPECT_EQ(engine_.responses, responses) << testing::PrintToString(call);
    EXPECT_EQ(arguments_.size(), answer ? 1u : 0u) << testing::PrintToString(call);
  }
}

TEST_F(MethodChannelTest, ABinaryReplyCalledTwiceAnswersOnce) {
  messenger_.SetMessageHandler(kChannel, [](const std::uint8_t*, std::size_t, auto reply) {
    const std::uint8_t first = 1, second = 2;
    const flutter::BinaryReply copy = reply;
    reply(&first, 1);
    copy(&second, 1);
  });
  EXPECT_EQ(engine_.Deliver({}),
            "Error: Response can be set only once. Ignoring duplicate response.\n");
  EXPECT_EQ(engine_.responses, Responses{Bytes{1}});
}

TEST_F(MethodChannelTest, ALaterAnswerIsSentOnlyWhileTheEngineRuns) {
  std::unique_ptr<MethodResult<>> kept;
  answer_ = [&](auto result) { kept = std::move(result); };
  for (const bool running : {true, false}) {
    engine_.Deliver(CallBytes("m"));
    EXPECT_EQ(engine_.references, 1) << "the pending answer holds the messenger";
    engine_.available = running;
    EXPECT_EQ(StderrOf([&] { kept->Success(); }), "");
    kept.reset();
  }
  EXPECT_EQ(engine_.responses, (Responses{Bytes{0, 0}}));
}

TEST_F(MethodChannelTest, HandlersAreReplacedRemovedAndOutliveTheChannelObject) {
  // A handler that removes itself runs on in its own copy (ASan reports a use after free if not).
  answer_ = [this](auto result) {
    channel_.SetMethodCallHandler(nullptr);
    result->Success(EncodableValue(std::string(100, 'a')));
  };
  engine_.Deliver(CallBytes("once"));
  EXPECT_FALSE(engine_.routes.contains(kChannel));
  {
    flutter::MethodChannel<> other(&messenger_, "other", &Codec());
    other.SetMethodCallHandler([](const MethodCall<>&, auto result) { result->Error("first"); });
    other.SetMethodCallHandler([](const MethodCall<>&, auto result) { result->Success(); });
  }
  engine_.Deliver(CallBytes("m"), "other");
  EXPECT_EQ(engine_.responses.size(), 2u);
  EXPECT_EQ(engine_.responses.back(), (Bytes{0, 0}));
}

TEST_F(MethodChannelTest, InvokeMethodCompletesItsResultFromTheReply) {
  const std::string undecodable =
      std::string("Unable to decode reply to method invocation on channel ") + kChannel + "\n";
  const std::tuple<Bytes, Answer, std::string> cases[] = {
      {{}, Answer::NotImplemented(), ""},
      {{0, 0}, Answer::Success(), ""},
      {{0, 3, 5, 0, 0, 0}, Answer::Success(EncodableValue(5)), ""},
      {{1, 7, 1, 'c', 0, 0}, Answer::Error("c"), ""},
      {{1, 7, 1, 'c', 7, 1, 'm', 3, 7, 0, 0, 0}, Answer::Error("c", "m", EncodableValue(7)), ""},
      {{1, 3, 1, 0, 0, 0, 0, 0}, Answer::NotImplemented(), undecodable},  // the code a number
      {{1, 7, 1, 'c', 3, 1, 0, 0, 0, 0}, Answer::NotImplemented(), undecodable},  // the message
      {{2, 0}, Answer::NotImplemented(), undecodable},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [reply, answer, log] = cases[i];
    auto answers = std::make_shared<std::vector<Answer>>();
    channel_.InvokeMethod("ask", std::make_unique<EncodableValue>(7),
                          std::make_unique<RecordingResult>(answers));
    EXPECT_EQ(std::get<0>(engine_.sent.at(i)), CallBytes("ask", 7));
    EXPECT_TRUE(answers->empty());
    EXPECT_EQ(StderrOf([&] { engine_.Reply(i, std::get<0>(cases[i])); }), log);
    EXPECT_EQ(*answers, std::vector{answer}) << i;
    EXPECT_EQ(answers.use_count(), 1) << "the reply and its result are freed once run";
  }
}

TEST_F(MethodChannelTest, InvokeMethodWithoutAResultOrRefusedWaitsForNothing) {
  struct ThrowingResult : RecordingResult {
    using RecordingResult::RecordingResult;
    void SuccessInternal(const EncodableValue*) override { throw std::runtime_error("no"); }
  };
  channel_.InvokeMethod("ask", nullptr, std::make_unique<ThrowingResult>(nullptr));
  const std::string failed = "Error: A message reply failed with an exception.\n";
  EXPECT_EQ(StderrOf([&] { engine_.Reply(0, {0, 0}); }), failed);
  channel_.InvokeMethod("bare", nullptr);
  EXPECT_EQ(engine_.sent.at(1), std::tuple(Bytes{7, 4, 'b', 'a', 'r', 'e', 0}, nullptr, nullptr));
  engine_.accepts_replies = false;
  auto answers = std::make_shared<std::vector<Answer>>();
  channel_.InvokeMethod("ask", nullptr, std::make_unique<RecordingResult>(answers));
  EXPECT_EQ(answers.use_count(), 1) << "a result the engine refused is freed at once, unanswered";
  EXPECT_TRUE(answers->empty());
}

}  // namespace
}  // namespace glue_test
