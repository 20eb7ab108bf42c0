// The standard codec: its byte layout, its round trips, and how it reads bytes it did not write
// (logged and read as values of the right shape, never allocating what the message does not hold).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/flutter_glue/glue_test_support.h"

namespace glue_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::MethodCall;
using I32s = std::vector<std::int32_t>;
using I64s = std::vector<std::int64_t>;

// Reads a copy placed `offset` bytes into a buffer, so element reads meet unaligned addresses too.
EncodableValue Deserialize(const Bytes& bytes, std::size_t offset = 0) {
  Bytes storage(offset + bytes.size());
  if (!bytes.empty()) std::memcpy(storage.data() + offset, bytes.data(), bytes.size());
  flutter::ByteBufferStreamReader reader(storage.data() + offset, bytes.size());
  return flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader);
}

template <typename... Values>
EncodableValue List(Values... values) {
  return EncodableList{EncodableValue(values)...};
}

Bytes Call(const std::string& name, std::unique_ptr<EncodableValue> arguments) {
  return *Codec().EncodeMethodCall(MethodCall<>(name, std::move(arguments)));
}

TEST(StandardCodecEncoding, WritesTheStandardLayout) {
  const EncodableValue seven = 7, one = 1.0;
  // Map keys are written ordered by kind, then content.
  const EncodableMap keys = {
      {EncodableValue("b"), {}}, {EncodableValue("a"), {}}, {7, {}}, {{}, 7}};
  const auto head = [](Bytes bytes, std::size_t size) { return bytes.resize(size), bytes; };
  const std::pair<Bytes, Bytes> cases[] = {
      // Sizes take one byte below 254, then 254 and 16 bits up to 65535, then 255 and 32 bits.
      {head(Serialize(std::string(253, 'x')), 2), {7, 253}},
      {head(Serialize(std::string(254, 'x')), 4), {7, 254, 254, 0}},
      {head(Serialize(std::string(65535, 'x')), 4), {7, 254, 255, 255}},
      {head(Serialize(std::string(65536, 'x')), 6), {7, 255, 0, 0, 1, 0}},
      {Serialize(EncodableList{{}, true, false}), {12, 3, 0, 1, 2}},
      {Serialize(std::int32_t{-2}), {3, 0xfe, 0xff, 0xff, 0xff}},
      {Serialize(std::int64_t{0x0102030405060708}), {4, 8, 7, 6, 5, 4, 3, 2, 1}},
      {Serialize(EncodableValue("h\xc3\xa9")), {7, 3, 'h', 0xc3, 0xa9}},
      {Serialize(std::vector<std::uint8_t>{1, 255}), {8, 2, 1, 255}},
      {Serialize(I32s{1, -1}), {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},
      {Serialize(I64s{1}), {10, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {Serialize(std::vector<float>{1.0f}), {14, 1, 0, 0, 0, 0, 0x80, 0x3f}},
      {Serialize(EncodableList{std::vector<double>{}, true}), {12, 2, 11, 0, 0, 0, 0, 0, 1}},
      {Serialize(keys), {13, 4, 0, 3, 7, 0, 0, 0, 3, 7, 0, 0, 0, 0, 7, 1, 'a', 0, 7, 1, 'b', 0}},
      // Alignment counts from the first byte of the message.
      {*Codec().EncodeSuccessEnvelope(&one),
       {0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}},
      {*Codec().EncodeSuccessEnvelope(), {0, 0}},
      {*Codec().EncodeErrorEnvelope("c"), {1, 7, 1, 'c', 0, 0}},
      {*Codec().EncodeErrorEnvelope("c", "m", &seven), {1, 7, 1, 'c', 7, 1, 'm', 3, 7, 0, 0, 0}},
      {Call("go", std::make_unique<EncodableValue>(7)), {7, 2, 'g', 'o', 3, 7, 0, 0, 0}},
      {Call("go", nullptr), {7, 2, 'g', 'o', 0}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  }
  Bytes custom;
  EXPECT_EQ(StderrOf([&] { custom = Serialize(flutter::CustomEncodableValue(7)); }),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require "
            "codec extensions.\n");
  EXPECT_EQ(custom, Bytes{0});
}

TEST(StandardCodecRoundTrip, EveryKindComesBackEqualAtEveryAlignment) {
  const EncodableMap map = {{EncodableValue("k"), -1.25}, {I32s{1}, EncodableMap{}}, {{}, false}};
  const EncodableValue value =
      List("ab", I32s{1, INT32_MIN}, I64s{INT64_MIN, 0}, std::vector<double>{-0.0, HUGE_VAL},
           std::vector<float>{0.5f, -2}, std::vector<std::uint8_t>{1, 255}, true, EncodableValue(),
           INT64_MAX, std::string("\0\xff", 2), std::string(253, 'a'), std::vector<double>(65535),
           EncodableList(65536), map, List(7, EncodableMap{}, I64s{}));
  for (std::size_t offset = 0; offset < 8; ++offset) {
    EXPECT_EQ(Deserialize(Serialize(value), offset), value) << offset;
  }
  // A method name of 1 to 8 bytes moves the arguments through every alignment of the message.
  for (std::string name = "m"; name.size() <= 8; name += 'x') {
    const Bytes bytes = Call(name, std::make_unique<EncodableValue>(value));
    const auto call = Codec().DecodeMethodCall(bytes.data(), bytes.size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(std::pair(call->method_name(), *call->arguments()), std::pair(name, value));
  }
}

TEST(StandardCodecDecoding, ReadsBadBytesAsValuesAndLogsWhy) {
  const std::string invalid = kInvalidRead;
  const std::string unknown = "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
  const std::tuple<Bytes, EncodableValue, std::string> cases[] = {
      {{3, 1, 2}, EncodableValue(0), invalid},  // a truncated int32
      {{15}, {}, unknown + "15\n"},
      {{5, 2, '4', '2'}, EncodableValue("42"), ""},  // a large integer, read as its digits
      {{7, 5, 'a'}, EncodableValue(""), invalid},
      {{7, 255, 255, 255, 255, 255}, EncodableValue(""), invalid},  // 4 GiB announced
      {{11, 255, 255, 255, 255, 255, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, std::vector<double>{}, invalid},
      {{12, 255, 255, 255, 255, 255}, EncodableList{}, invalid},
      {{13, 254, 255, 255, 0, 0}, EncodableMap{}, invalid},
      // A list that runs out stops where the message ends.
      {{12, 3, 12, 2, 1, 1, 1}, EncodableList{EncodableList{true, true}, true}, invalid},
      // A repeated key keeps its first value.
      {{13, 2, 7, 1, 'k', 3, 1, 0, 0, 0, 7, 1, 'k', 3, 2, 0, 0, 0},
       EncodableMap{{EncodableValue("k"), 1}},
       ""},
      {{12, 2, 99, 1}, EncodableList{{}, true}, unknown + "99\n"},  // reading goes on
  };
  for (const auto& c : cases) {
    EncodableValue value;
    EXPECT_EQ(StderrOf([&] { value = Deserialize(std::get<0>(c)); }), std::get<2>(c));
    EXPECT_EQ(value, std::get<1>(c)) << testing::PrintToString(std::get<0>(c));
  }
}

TEST(StandardCodecDecoding, ReadsListsNestedBeyondTheLimitAsNull) {
  const int limit = flutter::StandardCodecSerializer::kMaxNestingDepth;
  for (const int depth : {limit, limit + 1, 100000}) {
    Bytes bytes;  // [[...[true]...]] with `depth` lists
    for (int i = 0; i < depth; ++i) bytes.insert(bytes.end(), {12, 1});
    bytes.push_back(1);
    EncodableValue value;
    EXPECT_EQ(
        StderrOf([&] { value = Deserialize(bytes); }),
        depth > limit ? "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n" : "");
    const EncodableValue* innermost = &value;
    for (int i = 0; i < limit; ++i) innermost = &std::get<EncodableList>(*innermost).at(0);
    EXPECT_EQ(*innermost, depth > limit ? EncodableValue() : EncodableValue(true)) << depth;
  }
}

TEST(EncodableValueOrder, ElementByElementWithOneNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<EncodableValue, EncodableValue> ascending[] = {
      {std::vector<double>{1.0, 5.0}, std::vector<double>{1.0, nan}},
      {EncodableList{1}, EncodableList{1, {}}},
      {EncodableMap{{1, 1}}, EncodableMap{{1, 2}}},
  };
  for (const auto& [smaller, larger] : ascending) {
    EXPECT_TRUE(smaller < larger && !(larger < smaller)) << smaller.index();
  }
  EncodableMap keys;
  for (const double key : {nan, -nan, 0.0, -0.0, 1.0}) keys.emplace(key, key);
  EXPECT_EQ(keys.size(), 3u) << "one NaN key and one zero key";
}

}  // namespace
}  // namespace glue_test
