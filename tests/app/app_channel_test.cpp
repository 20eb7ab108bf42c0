// "consumeAuthCallback": one pending link per call, oldest first, the file's links only once
// nothing is pending, and null at the end.
#include "app/app_channel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/flutter_glue/recording_result.h"

namespace {

using flutter::EncodableValue;
using glue_test::Answer;

struct AppChannelHarness {
  app::AuthCallbackQueue pending;
  std::vector<std::string> in_file;  // what the refill brings in
  int refills = 0;

  Answer Call(const std::string& method, std::unique_ptr<EncodableValue> arguments = nullptr) {
    std::shared_ptr<glue_test::AnswerRecord> record;
    app::HandleAppMethodCallWith(
        pending,
        [this] {
          ++refills;
          for (const std::string& link : in_file) pending.Add(link);
          in_file.clear();
        },
        flutter::MethodCall<>(method, std::move(arguments)),
        glue_test::RecordingResult::Make(record));
    EXPECT_EQ(record->answers.size(), 1u);
    EXPECT_TRUE(record->destroyed);
    return record->answers.empty() ? Answer{} : record->answers.front();
  }
};

TEST(AppChannel, ConsumeGivesOneLinkPerCallOldestFirstThenNull) {
  AppChannelHarness harness;
  harness.pending.Add("daviza://first");
  harness.pending.Add("daviza://second");
  harness.in_file = {"daviza://from-file"};
  // The arguments of each call differ, and none of them matters.
  struct {
    std::unique_ptr<EncodableValue> arguments;
    std::optional<EncodableValue> answer;
    int refills;
  } calls[] = {
      {nullptr, EncodableValue("daviza://first"), 0},
      {std::make_unique<EncodableValue>("daviza://other"), EncodableValue("daviza://second"), 0},
      {std::make_unique<EncodableValue>(), EncodableValue("daviza://from-file"), 1},
      {std::make_unique<EncodableValue>(flutter::EncodableMap{}), std::nullopt, 2},
  };
  for (auto& call : calls) {
    const Answer answer = harness.Call("consumeAuthCallback", std::move(call.arguments));
    EXPECT_EQ(answer.kind, Answer::kSuccess);
    EXPECT_EQ(answer.value, call.answer);
    EXPECT_EQ(harness.refills, call.refills) << "the file is read only when nothing is pending";
  }
}

TEST(AppChannel, OtherMethodsAreNotImplementedAndTakeNothing) {
  for (const char* method : {"ConsumeAuthCallback", "consumeAuthCallback ", "", "authCallback"}) {
    AppChannelHarness harness;
    harness.pending.Add("daviza://kept");
    EXPECT_EQ(harness.Call(method).kind, Answer::kNotImplemented) << method;
    EXPECT_EQ(harness.pending.Count(), 1u);
    EXPECT_EQ(harness.refills, 0);
  }
}

}  // namespace
