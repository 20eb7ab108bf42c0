// How the codec reads bytes that did not come from itself: truncated, corrupt or hostile messages
// are logged and read as values of the right shape, and never make it allocate what the message
// does not hold.
#include <gtest/gtest.h>

#include <memory>

#include "tests/flutter_glue/codec_test_support.h"
#include "tests/flutter_glue/recording_result.h"

namespace glue_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

std::string Repeat(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

TEST(StandardCodecDecoding, ReadsBadBytesAsValuesAndLogsWhy) {
  const std::string invalid = kInvalidRead;
  const struct {
    const char* name;
    Bytes bytes;
    EncodableValue value;
    std::string log;
  } cases[] = {
      {"nothing at all", {}, EncodableValue(), invalid},
      {"a truncated int32", {3, 1, 2}, EncodableValue(0), invalid},
      {"a double whose padding runs off the end", {6, 1, 2}, EncodableValue(0.0), invalid},
      {"an unknown tag", {15}, EncodableValue(),
       "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n"},
      {"the largest tag", {255}, EncodableValue(),
       "Unknown type in StandardCodecSerializer::ReadValueOfType: 255\n"},
      {"tag 5 as a string", {5, 2, '4', '2'}, EncodableValue("42"), ""},
      {"a string longer than the message", {7, 5, 'a'}, EncodableValue(""), invalid},
      {"a 4 GiB string", {7, 255, 255, 255, 255, 255}, EncodableValue(""), invalid},
      {"a 2 GiB byte list", {8, 255, 255, 255, 255, 127},
       EncodableValue(std::vector<std::uint8_t>{}), invalid},
      {"an int32 list whose padding runs off the end", {9, 1},
       EncodableValue(std::vector<std::int32_t>{}), invalid},
      {"a huge double list", {11, 255, 255, 255, 255, 255, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8},
       EncodableValue(std::vector<double>{}), invalid},
      {"an int64 list one byte short", {10, 1, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7},
       EncodableValue(std::vector<std::int64_t>{}), invalid},
      {"a float list read whole", {14, 1, 0, 0, 0, 0, 0x80, 0x3f},
       EncodableValue(std::vector<float>{1.0f}), ""},
      {"a list counting more elements than bytes", {12, 255, 255, 255, 255, 255},
       EncodableValue(EncodableList{}), invalid},
      {"a map counting more entries than bytes", {13, 254, 255, 255, 0, 0},
       EncodableValue(EncodableMap{}), invalid},
      {"a list that runs out stops where the message ends",
       {12, 3, 12, 2, 1, 1, 1},
       EncodableValue(EncodableList{
           EncodableValue(EncodableList{EncodableValue(true), EncodableValue(true)}),
           EncodableValue(true)}),
       invalid},
      {"a map whose last value is missing",
       {13, 2, 7, 1, 'k', 3, 1, 0, 0, 0, 1},
       EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(1)},
                                   {EncodableValue(true), EncodableValue()}}),
       invalid},
      {"a repeated key keeps its first value",
       {13, 2, 7, 1, 'k', 3, 1, 0, 0, 0, 7, 1, 'k', 3, 2, 0, 0, 0},
       EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(1)}}), ""},
      {"reading goes on after an unknown tag", {12, 2, 99, 1},
       EncodableValue(EncodableList{EncodableValue(), EncodableValue(true)}),
       "Unknown type in StandardCodecSerializer::ReadValueOfType: 99\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EncodableValue value;
    EXPECT_EQ(StderrOf([&] { value = Deserialize(c.bytes); }), c.log);
    EXPECT_EQ(value, c.value);
  }
}

// [[[...[true]...]]] with `depth` lists.
Bytes NestedLists(int depth) {
  Bytes bytes;
  for (int i = 0; i < depth; ++i) {
    bytes.push_back(12);
    bytes.push_back(1);
  }
  bytes.push_back(1);
  return bytes;
}

int ListDepth(const EncodableValue& value, const EncodableValue** innermost) {
  int depth = 0;
  const EncodableValue* current = &value;
  while (const auto* list = std::get_if<EncodableList>(current)) {
    ++depth;
    if (list->size() != 1) break;
    current = &list->front();
  }
  *innermost = current;
  return depth;
}

TEST(StandardCodecDecoding, ReadsListsNestedUpToTheLimit) {
  const int limit = flutter::StandardCodecSerializer::kMaxNestingDepth;
  EncodableValue value;
  EXPECT_EQ(StderrOf([&] { value = Deserialize(NestedLists(limit)); }), "");
  const EncodableValue* innermost = nullptr;
  EXPECT_EQ(ListDepth(value, &innermost), limit);
  EXPECT_EQ(*innermost, EncodableValue(true));
  EXPECT_EQ(Serialize(value), NestedLists(limit));
}

TEST(StandardCodecDecoding, ReadsListsNestedBeyondTheLimitAsNull) {
  const int limit = flutter::StandardCodecSerializer::kMaxNestingDepth;
  for (const int depth : {limit + 1, 100000}) {
    SCOPED_TRACE(depth);
    EncodableValue value;
    const std::string log = StderrOf([&] { value = Deserialize(NestedLists(depth)); });
    EXPECT_EQ(log, "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n");
    const EncodableValue* innermost = nullptr;
    EXPECT_EQ(ListDepth(value, &innermost), limit);
    EXPECT_TRUE(innermost->IsNull());
  }
}

TEST(StandardCodecDecoding, MethodCalls) {
  const struct {
    const char* name;
    Bytes bytes;
    const char* method;  // null: no call
    EncodableValue arguments;
    std::string log;
  } cases[] = {
      {"name and arguments", {7, 1, 'm', 7, 1, 'a'}, "m", EncodableValue("a"), ""},
      {"explicit null arguments", {7, 1, 'm', 0}, "m", EncodableValue(), ""},
      {"no arguments at all", {7, 1, 'm'}, "m", EncodableValue(), kInvalidRead},
      {"arguments of an unknown type", {7, 1, 'm', 15}, "m", EncodableValue(),
       "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n"},
      {"a name that is not a string", {3, 1, 0, 0, 0}, nullptr, EncodableValue(),
       "Invalid method call; method name is not a string.\n"},
      {"an empty message", {}, nullptr, EncodableValue(),
       std::string(kInvalidRead) + "Invalid method call; method name is not a string.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<flutter::MethodCall<>> call;
    EXPECT_EQ(StderrOf([&] { call = Codec().DecodeMethodCall(c.bytes.data(), c.bytes.size()); }),
              c.log);
    if (c.method == nullptr) {
      EXPECT_EQ(call, nullptr);
      continue;
    }
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->method_name(), c.method);
    ASSERT_NE(call->arguments(), nullptr);
    EXPECT_EQ(*call->arguments(), c.arguments);
  }
}

TEST(StandardCodecDecoding, ResultEnvelopes) {
  const struct {
    const char* name;
    Bytes bytes;
    bool handed_on;
    std::optional<Answer> answer;
    std::string log;
  } cases[] = {
      {"success without a value", {0, 0}, true, Answer{Answer::kSuccess, {}, "", ""}, ""},
      {"success with a value", {0, 3, 7, 0, 0, 0}, true,
       Answer{Answer::kSuccess, EncodableValue(7), "", ""}, ""},
      {"an empty buffer reads as success without a value", {}, true,
       Answer{Answer::kSuccess, {}, "", ""}, Repeat(kInvalidRead, 2)},
      {"error with null message and details", {1, 7, 1, 'c', 0, 0}, true,
       Answer{Answer::kError, {}, "c", ""}, ""},
      {"error with message and details", {1, 7, 1, 'c', 7, 1, 'm', 3, 7, 0, 0, 0}, true,
       Answer{Answer::kError, EncodableValue(7), "c", "m"}, ""},
      {"error whose code is not a string", {1, 3, 1, 0, 0, 0, 0, 0}, false, std::nullopt, ""},
      {"error whose code is missing", {1}, false, std::nullopt, Repeat(kInvalidRead, 3)},
      {"error whose message is a number", {1, 7, 1, 'c', 3, 1, 0, 0, 0, 0}, false, std::nullopt,
       ""},
      {"an envelope starting with 2", {2, 0}, false, std::nullopt, ""},
      {"an envelope starting with 255", {255}, false, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::shared_ptr<AnswerRecord> record;
    auto result = RecordingResult::Make(record);
    bool handed_on = false;
    EXPECT_EQ(StderrOf([&] {
                handed_on = Codec().DecodeAndProcessResponseEnvelope(c.bytes.data(),
                                                                     c.bytes.size(), result.get());
              }),
              c.log);
    EXPECT_EQ(handed_on, c.handed_on);
    if (!c.answer) {
      EXPECT_TRUE(record->answers.empty());
      continue;
    }
    ASSERT_EQ(record->answers.size(), 1u);
    const Answer& answer = record->answers[0];
    EXPECT_EQ(answer.kind, c.answer->kind);
    EXPECT_EQ(answer.value, c.answer->value);
    EXPECT_EQ(answer.code, c.answer->code);
    EXPECT_EQ(answer.message, c.answer->message);
  }
}

}  // namespace
}  // namespace glue_test
