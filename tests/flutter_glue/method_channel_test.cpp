// Method channels over the messenger, with the embedding's messenger played by Engine: every
// incoming message is answered at most once, misuse is logged, and replies outlive the engine.
#include "flutter_glue/method_channel.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "flutter_glue/binary_messenger_impl.h"
#include "tests/flutter_glue/glue_test_support.h"

namespace glue_test {

struct Engine {
  FlutterDesktopMessengerRef ref() { return reinterpret_cast<FlutterDesktopMessengerRef>(this); }
  void Deliver(const std::string& channel, const Bytes& bytes) {
    const FlutterDesktopMessage message{sizeof(message), channel.c_str(), bytes.data(),
                                        bytes.size(), handle};
    routes.at(channel).first(ref(), &message, routes.at(channel).second);
  }

  std::map<std::string, std::pair<FlutterDesktopMessageCallback, void*>> routes;
  std::vector<std::pair<Bytes, bool>> sent;  // and whether a reply waits for it
  std::vector<std::pair<FlutterDesktopBinaryReply, void*>> replies;
  std::vector<std::optional<Bytes>> responses;  // nullopt: null data
  const FlutterDesktopMessageResponseHandle* handle =
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(this);
  bool accepts_replies = true;
  bool available = true;
  int references = 0;
  int lock_depth = 0;
};

Engine& Of(FlutterDesktopMessengerRef messenger) { return *reinterpret_cast<Engine*>(messenger); }

}  // namespace glue_test

using glue_test::Bytes;
using glue_test::Of;

extern "C" {
void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef m, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  if (callback == nullptr) Of(m).routes.erase(channel);
  if (callback != nullptr) Of(m).routes[channel] = {callback, user_data};
}
bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef m, const char*, const uint8_t* bytes,
                                 size_t size) {
  Of(m).sent.emplace_back(Bytes(bytes, bytes + size), false);
  return true;
}
bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef m, const char*,
                                          const uint8_t* bytes, size_t size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  if (!Of(m).accepts_replies) return false;
  Of(m).sent.emplace_back(Bytes(bytes, bytes + size), true);
  Of(m).replies.emplace_back(reply, user_data);
  return true;
}
void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef m,
                                         const FlutterDesktopMessageResponseHandle*,
                                         const uint8_t* data, size_t size) {
  EXPECT_EQ(Of(m).lock_depth, 1) << "an answer is sent under the messenger's lock";
  Of(m).responses.push_back(data ? std::optional(Bytes(data, data + size)) : std::nullopt);
}
FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef m) {
  ++Of(m).references;
  return m;
}
void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef m) { --Of(m).references; }
FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef m) {
  ++Of(m).lock_depth;
  return m;
}
void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef m) { --Of(m).lock_depth; }
bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef m) { return Of(m).available; }
}  // extern "C"

namespace glue_test {
namespace {

using flutter::MethodCall;
using flutter::MethodResult;
using Responses = std::vector<std::optional<Bytes>>;

constexpr char kChannel[] = "com.daviza.vpn/test";

Bytes CallBytes(const std::string& method, EncodableValue arguments = {}) {
  return *Codec().EncodeMethodCall(
      MethodCall<>(method, std::make_unique<EncodableValue>(std::move(arguments))));
}

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
  std::string Deliver(const Bytes& bytes, const std::string& channel = kChannel) {
    return StderrOf([&] { engine_.Deliver(channel, bytes); });
  }

  Engine engine_;
  flutter::BinaryMessengerImpl messenger_{engine_.ref()};
  flutter::MethodChannel<> channel_{&messenger_, kChannel, &Codec()};
  std::function<void(std::unique_ptr<MethodResult<>>)> answer_;
  std::vector<EncodableValue> arguments_;
};

TEST_F(MethodChannelTest, EachIncomingCallIsAnsweredOnceAndMisuseIsLogged) {
  const EncodableValue why("why");
  const std::string not_a_call =
      std::string("Invalid method call; method name is not a string.\n") +
      "Unable to construct method call from message on channel " + kChannel + "\n";
  const std::string duplicate =
      "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
      "exactly once. Ignoring duplicate result.\n";
  const struct {
    const char* name;
    Bytes call;
    std::function<void(std::unique_ptr<MethodResult<>>)> answer;  // null: never reached
    Responses responses;
    std::string log;
  } cases[] = {
      {"success", CallBytes("go", 42),
       [this](auto r) {
         EXPECT_EQ(arguments_[0], EncodableValue(42));
         r->Success(EncodableValue(5));
       },
       {Bytes{0, 3, 5, 0, 0, 0}}, ""},
      {"error, to a call without arguments", {7, 2, 'g', 'o'},
       [&](auto r) { r->Error("bad", "Bad.", why); },
       {*Codec().EncodeErrorEnvelope("bad", "Bad.", &why)}, kInvalidRead},
      {"not implemented", CallBytes("m"), [](auto r) { r->NotImplemented(); }, {std::nullopt}, ""},
      {"undecodable", {3, 1, 0, 0, 0}, nullptr, {std::nullopt}, not_a_call},
      {"empty", {}, nullptr, {std::nullopt}, kInvalidRead + not_a_call},
      {"answered thrice", CallBytes("m"),
       [](auto r) { r->Error("e"), r->Success(), r->NotImplemented(); },
       {Bytes{1, 7, 1, 'e', 0, 0}}, duplicate + duplicate},
      {"dropped", CallBytes("m"), [](auto) {}, {},
       "Warning: Failed to respond to a message. This is a memory leak.\n"},
      {"throwing", CallBytes("m"),
       [](auto r) { r->Success(), throw std::runtime_error("handler failed"); }, {Bytes{0, 0}},
       "Error: A message handler failed with an exception.\n"},
  };
  for (const auto& c : cases) {
    engine_.responses.clear();
    arguments_.clear();
    answer_ = c.answer;
    EXPECT_EQ(Deliver(c.call), c.log) << c.name;
    EXPECT_EQ(engine_.responses, c.responses) << c.name;
    EXPECT_EQ(arguments_.size(), c.answer ? 1u : 0u) << c.name;
  }
}

TEST_F(MethodChannelTest, ABinaryReplyCalledTwiceAnswersOnce) {
  messenger_.SetMessageHandler(kChannel, [](const std::uint8_t*, std::size_t, auto reply) {
    const std::uint8_t first = 1, second = 2;
    const flutter::BinaryReply copy = reply;
    reply(&first, 1);
    copy(&second, 1);
  });
  EXPECT_EQ(Deliver({}), "Error: Response can be set only once. Ignoring duplicate response.\n");
  EXPECT_EQ(engine_.responses, Responses{Bytes{1}});
}

TEST_F(MethodChannelTest, ALaterAnswerIsSentOnlyWhileTheEngineRuns) {
  std::unique_ptr<MethodResult<>> kept;
  answer_ = [&](auto result) { kept = std::move(result); };
  for (const bool running : {true, false}) {
    Deliver(CallBytes("m"));
    EXPECT_EQ(engine_.references, 1) << "the pending answer holds the messenger";
    engine_.available = running;
    EXPECT_EQ(StderrOf([&] { kept->Success(); }), "");
    kept.reset();
  }
  EXPECT_EQ(engine_.responses, (Responses{Bytes{0, 0}}));
}

TEST_F(MethodChannelTest, HandlersAreReplacedRemovedAndOutliveTheChannelObject) {
  answer_ = [this](auto result) {  // removes its own handler, then answers (ASan: no use after free)
    channel_.SetMethodCallHandler(nullptr);
    result->Success(EncodableValue(std::string(100, 'a')));
  };
  Deliver(CallBytes("once"));
  EXPECT_FALSE(engine_.routes.contains(kChannel));
  EXPECT_EQ(engine_.responses.size(), 1u);
  {
    flutter::MethodChannel<> other(&messenger_, "other", &Codec());
    other.SetMethodCallHandler([](const MethodCall<>&, auto result) { result->Error("first"); });
    other.SetMethodCallHandler([](const MethodCall<>&, auto result) { result->Success(); });
  }
  Deliver(CallBytes("m"), "other");
  EXPECT_EQ(engine_.responses.back(), (Bytes{0, 0}));
}

TEST_F(MethodChannelTest, InvokeMethodCompletesItsResultFromTheReply) {
  const std::string undecodable =
      std::string("Unable to decode reply to method invocation on channel ") + kChannel + "\n";
  const struct {
    Bytes reply;
    Answer answer;
    std::string log;
  } cases[] = {
      {{}, Answer::NotImplemented(), ""},
      {{0, 0}, Answer::Success(), ""},
      {{0, 3, 5, 0, 0, 0}, Answer::Success(EncodableValue(5)), ""},
      {{0}, Answer::Success(), kInvalidRead},
      {{1, 7, 1, 'c', 0, 0}, Answer::Error("c"), ""},
      {{1, 7, 1, 'c', 7, 1, 'm', 3, 7, 0, 0, 0}, Answer::Error("c", "m", EncodableValue(7)), ""},
      {{1, 3, 1, 0, 0, 0, 0, 0}, Answer::NotImplemented(), undecodable},  // the code a number
      {{1, 7, 1, 'c', 3, 1, 0, 0, 0, 0}, Answer::NotImplemented(), undecodable},  // the message
      {{2, 0}, Answer::NotImplemented(), undecodable},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    auto answers = std::make_shared<std::vector<Answer>>();
    channel_.InvokeMethod("ask", std::make_unique<EncodableValue>(7),
                          std::make_unique<RecordingResult>(answers));
    EXPECT_EQ(engine_.sent.at(i), std::pair(CallBytes("ask", 7), true));
    EXPECT_TRUE(answers->empty());
    const auto reply = engine_.replies.at(i);
    EXPECT_EQ(StderrOf([&] { reply.first(cases[i].reply.data(), cases[i].reply.size(), reply.second); }),
              cases[i].log);
    EXPECT_EQ(*answers, std::vector{cases[i].answer}) << i;
    EXPECT_EQ(answers.use_count(), 1) << "the reply and its result are freed once run";
  }
}

TEST_F(MethodChannelTest, InvokeMethodWithoutAResultOrRefusedWaitsForNothing) {
  struct ThrowingResult : RecordingResult {
    using RecordingResult::RecordingResult;
    void SuccessInternal(const EncodableValue*) override { throw std::runtime_error("no"); }
  };
  auto answers = std::make_shared<std::vector<Answer>>();
  channel_.InvokeMethod("ask", nullptr, std::make_unique<ThrowingResult>(answers));
  const auto reply = engine_.replies.at(0);
  EXPECT_EQ(StderrOf([&] { reply.first(Bytes{0, 0}.data(), 2, reply.second); }),
            "Error: A message reply failed with an exception.\n");
  channel_.InvokeMethod("bare", nullptr);
  EXPECT_EQ(engine_.sent.back(), std::pair(Bytes{7, 4, 'b', 'a', 'r', 'e', 0}, false));

  engine_.accepts_replies = false;
  channel_.InvokeMethod("ask", nullptr, std::make_unique<RecordingResult>(answers));
  EXPECT_EQ(answers.use_count(), 1) << "a result the engine refused is freed at once";
  EXPECT_EQ(engine_.sent.size(), 2u);
  EXPECT_TRUE(answers->empty());
}

}  // namespace
}  // namespace glue_test
