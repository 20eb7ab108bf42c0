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

const flutter::StandardCodecSerializer& Serializer() {
  return flutter::StandardCodecSerializer::GetInstance();
}

// Reads a copy placed `offset` bytes into a buffer, so element reads meet unaligned addresses too.
EncodableValue Deserialize(const Bytes& bytes, std::size_t offset = 0) {
  Bytes storage(offset + bytes.size());
  if (!bytes.empty()) std::memcpy(storage.data() + offset, bytes.data(), bytes.size());
  flutter::ByteBufferStreamReader reader(storage.data() + offset, bytes.size());
  return Serializer().ReadValue(&reader);
}

Bytes Envelope(const EncodableValue& value) { return *Codec().EncodeSuccessEnvelope(&value); }

EncodableValue Map(EncodableValue key, EncodableValue value) {
  return EncodableMap{{std::move(key), std::move(value)}};
}

TEST(StandardCodecSize, UsesOneThreeOrFiveBytes) {
  const std::pair<std::size_t, Bytes> cases[] = {{253, {253}},
                                                 {254, {254, 254, 0}},
                                                 {65535, {254, 255, 255}},
                                                 {65536, {255, 0, 0, 1, 0}}};
  for (const auto& [size, bytes] : cases) {
    Bytes written;
    flutter::ByteBufferStreamWriter writer(&written);
    Serializer().WriteSize(size, &writer);
    EXPECT_EQ(written, bytes) << size;
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(Serializer().ReadSize(&reader), size);
  }
}

TEST(StandardCodecEncoding, WritesTheStandardLayout) {
  const EncodableValue seven = 7;
  const EncodableMap keys_of_every_order = {
      {EncodableValue("b"), {}}, {EncodableValue("a"), {}}, {seven, {}}, {{}, seven}};
  const struct {
    const char* name;
    Bytes encoded;
    Bytes expected;
  } cases[] = {
      {"null, true, false", Serialize(EncodableList{{}, EncodableValue(true), EncodableValue(false)}),
       {12, 3, 0, 1, 2}},
      {"int32", Serialize(std::int32_t{-2}), {3, 0xfe, 0xff, 0xff, 0xff}},
      {"int64", Serialize(std::int64_t{0x0102030405060708}), {4, 8, 7, 6, 5, 4, 3, 2, 1}},
      {"UTF-8 string", Serialize(EncodableValue("h\xc3\xa9")), {7, 3, 'h', 0xc3, 0xa9}},
      {"byte list", Serialize(std::vector<std::uint8_t>{1, 255}), {8, 2, 1, 255}},
      {"int32 list", Serialize(I32s{1, -1}), {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},
      {"int64 list", Serialize(I64s{1}), {10, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"float list", Serialize(std::vector<float>{1.0f}), {14, 1, 0, 0, 0, 0, 0x80, 0x3f}},
      {"an empty typed list is padded all the same",
       Serialize(EncodableList{EncodableValue(std::vector<double>{}), EncodableValue(true)}),
       {12, 2, 11, 0, 0, 0, 0, 0, 1}},
      {"map keys by kind, then content", Serialize(keys_of_every_order),
       {13, 4, 0, 3, 7, 0, 0, 0, 3, 7, 0, 0, 0, 0, 7, 1, 'a', 0, 7, 1, 'b', 0}},
      {"a double aligned from the message's first byte", Envelope(1.0),
       {0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}},
      {"success without a value", *Codec().EncodeSuccessEnvelope(), {0, 0}},
      {"error with an empty message writes null there", *Codec().EncodeErrorEnvelope("c"),
       {1, 7, 1, 'c', 0, 0}},
      {"error with message and details", *Codec().EncodeErrorEnvelope("c", "m", &seven),
       {1, 7, 1, 'c', 7, 1, 'm', 3, 7, 0, 0, 0}},
      {"call", *Codec().EncodeMethodCall(MethodCall<>("go", std::make_unique<EncodableValue>(7))),
       {7, 2, 'g', 'o', 3, 7, 0, 0, 0}},
      {"call without arguments", *Codec().EncodeMethodCall(MethodCall<>("go", nullptr)),
       {7, 2, 'g', 'o', 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.encoded, c.expected) << c.name;

  Bytes custom;
  EXPECT_EQ(StderrOf([&] { custom = Serialize(flutter::CustomEncodableValue(7)); }),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require "
            "codec extensions.\n");
  EXPECT_EQ(custom, Bytes{0});
}

TEST(StandardCodecRoundTrip, EveryKindComesBackEqualAtEveryAlignment) {
  const EncodableMap inner = {
      {EncodableValue("doubles"), EncodableValue(std::vector<double>{1.5, -0.0, HUGE_VAL})},
      {EncodableValue(std::int64_t{7}), EncodableValue(I64s{INT64_MIN, 0, 1})},
      {EncodableValue(std::vector<std::uint8_t>{}), EncodableValue(std::vector<float>{0.5f, -2})},
      {EncodableValue(I32s{1}), EncodableValue(EncodableList{})},
      {EncodableValue(false), EncodableValue(EncodableMap{})}};
  const EncodableValue value = EncodableList{
      EncodableValue("ab"), EncodableValue(I32s{1, INT32_MIN}), EncodableValue(inner),
      EncodableValue(EncodableList{EncodableValue(std::vector<std::uint8_t>{1, 2, 3}),
                                   EncodableValue(-1.25), EncodableValue(I64s{})}),
      EncodableValue(true), EncodableValue(), EncodableValue(INT64_MAX),
      EncodableValue(std::string("\0\xff", 2))};
  for (std::size_t offset = 0; offset < 8; ++offset) {
    EXPECT_EQ(Deserialize(Serialize(value), offset), value) << offset;
  }
  // A method name of 1 to 8 bytes moves the arguments through every alignment of the message.
  for (std::string name = "m"; name.size() <= 8; name += 'x') {
    const auto bytes =
        Codec().EncodeMethodCall(MethodCall<>(name, std::make_unique<EncodableValue>(value)));
    const auto call = Codec().DecodeMethodCall(bytes->data(), bytes->size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(std::pair(call->method_name(), *call->arguments()), std::pair(name, value));
  }
}

TEST(StandardCodecDecoding, ReadsBadBytesAsValuesAndLogsWhy) {
  const std::string invalid = kInvalidRead;
  const std::string unknown = "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
  const struct {
    const char* name;
    Bytes bytes;
    EncodableValue value;
    std::string log;
  } cases[] = {
      {"a truncated int32", {3, 1, 2}, EncodableValue(0), invalid},
      {"an unknown tag", {15}, {}, unknown + "15\n"},
      {"tag 5 as a string", {5, 2, '4', '2'}, EncodableValue("42"), ""},
      {"a string longer than the message", {7, 5, 'a'}, EncodableValue(""), invalid},
      {"a 4 GiB string", {7, 255, 255, 255, 255, 255}, EncodableValue(""), invalid},
      {"a huge double list", {11, 255, 255, 255, 255, 255, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8},
       EncodableValue(std::vector<double>{}), invalid},
      {"a list counting more elements than bytes", {12, 255, 255, 255, 255, 255},
       EncodableValue(EncodableList{}), invalid},
      {"a map counting more entries than bytes", {13, 254, 255, 255, 0, 0},
       EncodableValue(EncodableMap{}), invalid},
      {"a list that runs out stops where the message ends", {12, 3, 12, 2, 1, 1, 1},
       EncodableList{EncodableList{EncodableValue(true), EncodableValue(true)}, EncodableValue(true)},
       invalid},
      {"a repeated key keeps its first value",
       {13, 2, 7, 1, 'k', 3, 1, 0, 0, 0, 7, 1, 'k', 3, 2, 0, 0, 0}, Map(EncodableValue("k"), 1), ""},
      {"reading goes on after an unknown tag", {12, 2, 99, 1},
       EncodableList{{}, EncodableValue(true)}, unknown + "99\n"},
  };
  for (const auto& c : cases) {
    EncodableValue value;
    EXPECT_EQ(StderrOf([&] { value = Deserialize(c.bytes); }), c.log) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
}

TEST(StandardCodecDecoding, ReadsListsNestedBeyondTheLimitAsNull) {
  const int limit = flutter::StandardCodecSerializer::kMaxNestingDepth;
  for (const int depth : {limit, limit + 1, 100000}) {
    Bytes bytes;  // [[...[true]...]] with `depth` lists
    for (int i = 0; i < depth; ++i) bytes.insert(bytes.end(), {12, 1});
    bytes.push_back(1);
    EncodableValue value;
    EXPECT_EQ(StderrOf([&] { value = Deserialize(bytes); }),
              depth > limit ? "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n" : "");
    const EncodableValue* innermost = &value;
    for (int i = 0; i < limit; ++i) innermost = &std::get<EncodableList>(*innermost).at(0);
    EXPECT_EQ(*innermost, depth > limit ? EncodableValue() : EncodableValue(true)) << depth;
  }
}

TEST(EncodableValueOrder, KindFirstThenContentWithOneNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<EncodableValue, EncodableValue> ascending[] = {
      {EncodableValue(100), EncodableValue(std::int64_t{1})},
      {EncodableValue(-3), EncodableValue(2)},
      {EncodableValue("c"), EncodableValue(std::vector<std::uint8_t>{'c'})},
      {EncodableValue(HUGE_VAL), EncodableValue(nan)},
      {EncodableValue(std::vector<double>{1.0, 5.0}), EncodableValue(std::vector<double>{1.0, nan})},
      {EncodableList{EncodableValue(1)}, EncodableList{EncodableValue(1), {}}},
      {Map(EncodableValue("a"), 1), Map(EncodableValue("a"), 2)},
  };
  for (const auto& [smaller, larger] : ascending) {
    EXPECT_TRUE(smaller < larger && !(larger < smaller)) << smaller.index();
  }
  EncodableMap keys;
  for (const double key : {nan, -nan, 0.0, -0.0, 1.0}) keys.emplace(key, EncodableValue(key));
  EXPECT_EQ(keys.size(), 3u) << "one NaN key and one zero key";
}

}  // namespace
}  // namespace glue_test
