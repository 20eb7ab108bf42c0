// What the codec writes, byte for byte, and that everything it writes reads back unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "tests/flutter_glue/codec_test_support.h"
#include "tests/flutter_glue/recording_result.h"

namespace glue_test {
namespace {

using flutter::CustomEncodableValue;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::MethodCall;

TEST(StandardCodecSize, UsesOneThreeOrFiveBytes) {
  const struct {
    std::size_t size;
    Bytes bytes;
  } cases[] = {
      {0, {0}},
      {253, {253}},
      {254, {254, 254, 0}},
      {65535, {254, 255, 255}},
      {65536, {255, 0, 0, 1, 0}},
      {0x01020304, {255, 4, 3, 2, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes written;
    flutter::ByteBufferStreamWriter writer(&written);
    Serializer().WriteSize(c.size, &writer);
    EXPECT_EQ(written, c.bytes);

    flutter::ByteBufferStreamReader reader(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(Serializer().ReadSize(&reader), c.size);
    EXPECT_EQ(reader.BytesRemaining(), 0u);
  }
}

TEST(StandardCodecEncoding, WritesEachValueInTheStandardLayout) {
  EncodableMap keys_out_of_order;
  keys_out_of_order[EncodableValue("b")] = EncodableValue(1);
  keys_out_of_order[EncodableValue("a")] = EncodableValue(true);
  const EncodableMap keys_of_three_kinds = {{EncodableValue("a"), EncodableValue()},
                                            {EncodableValue(5), EncodableValue(false)},
                                            {EncodableValue(), EncodableValue(true)}};
  const struct {
    const char* name;
    EncodableValue value;
    Bytes bytes;
  } cases[] = {
      {"null", EncodableValue(), {0}},
      {"true", EncodableValue(true), {1}},
      {"false", EncodableValue(false), {2}},
      {"int32", EncodableValue(std::int32_t{-2}), {3, 0xfe, 0xff, 0xff, 0xff}},
      {"int64", EncodableValue(std::int64_t{0x0102030405060708}), {4, 8, 7, 6, 5, 4, 3, 2, 1}},
      {"double after 7 bytes of padding",
       EncodableValue(1.0),
       {6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}},
      {"UTF-8 string", EncodableValue("h\xc3\xa9"), {7, 3, 'h', 0xc3, 0xa9}},
      {"empty string", EncodableValue(""), {7, 0}},
      {"byte list", EncodableValue(std::vector<std::uint8_t>{1, 255}), {8, 2, 1, 255}},
      {"int32 list after 2 bytes of padding",
       EncodableValue(std::vector<std::int32_t>{1, -1}),
       {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},
      {"empty int32 list, padded all the same", EncodableValue(std::vector<std::int32_t>{}),
       {9, 0, 0, 0}},
      {"float list", EncodableValue(std::vector<float>{1.0f}), {14, 1, 0, 0, 0, 0, 0x80, 0x3f}},
      {"int64 list after 6 bytes of padding",
       EncodableValue(std::vector<std::int64_t>{1}),
       {10, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"empty double list, padded all the same", EncodableValue(std::vector<double>{}),
       {11, 0, 0, 0, 0, 0, 0, 0}},
      {"an empty typed list followed by a value",
       EncodableValue(EncodableList{EncodableValue(std::vector<std::int64_t>{}),
                                    EncodableValue(true)}),
       {12, 2, 10, 0, 0, 0, 0, 0, 1}},
      {"list",
       EncodableValue(EncodableList{EncodableValue(1), EncodableValue("a")}),
       {12, 2, 3, 1, 0, 0, 0, 7, 1, 'a'}},
      {"map in key order",
       EncodableValue(keys_out_of_order),
       {13, 2, 7, 1, 'a', 1, 7, 1, 'b', 3, 1, 0, 0, 0}},
      {"map keys ordered by kind first",
       EncodableValue(keys_of_three_kinds),
       {13, 3, 0, 1, 3, 5, 0, 0, 0, 2, 7, 1, 'a', 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Serialize(c.value), c.bytes);
  }
}

TEST(StandardCodecEncoding, AlignsFromTheFirstByteOfTheMessage) {
  const EncodableValue one = 1.0;
  const EncodableValue int32_list = std::vector<std::int32_t>{1};
  const EncodableValue empty_int32_list = std::vector<std::int32_t>{};
  const EncodableValue nested =
      EncodableList{EncodableValue(true), EncodableValue(std::vector<std::int32_t>{7})};
  const struct {
    const char* name;
    std::unique_ptr<std::vector<std::uint8_t>> envelope;
    Bytes bytes;
  } cases[] = {
      {"double", Codec().EncodeSuccessEnvelope(&one),
       {0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}},
      {"int32 list", Codec().EncodeSuccessEnvelope(&int32_list), {0, 9, 1, 0, 1, 0, 0, 0}},
      {"empty int32 list", Codec().EncodeSuccessEnvelope(&empty_int32_list), {0, 9, 0, 0}},
      {"typed list inside a list", Codec().EncodeSuccessEnvelope(&nested),
       {0, 12, 2, 1, 9, 1, 0, 0, 7, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(*c.envelope, c.bytes);
  }
}

TEST(StandardCodecEncoding, WritesCallsAndEnvelopes) {
  const EncodableValue seven = 7;
  const EncodableValue config =
      EncodableMap{{EncodableValue("config"), EncodableValue("x")}};
  const struct {
    const char* name;
    std::unique_ptr<std::vector<std::uint8_t>> encoded;
    Bytes bytes;
  } cases[] = {
      {"success without a value", Codec().EncodeSuccessEnvelope(), {0, 0}},
      {"error with an empty message writes null there",
       Codec().EncodeErrorEnvelope("code"),
       {1, 7, 4, 'c', 'o', 'd', 'e', 0, 0}},
      {"error with message and details",
       Codec().EncodeErrorEnvelope("c", "m", &seven),
       {1, 7, 1, 'c', 7, 1, 'm', 3, 7, 0, 0, 0}},
      {"call with arguments",
       Codec().EncodeMethodCall(
           MethodCall<>("start", std::make_unique<EncodableValue>(config))),
       {7, 5, 's', 't', 'a', 'r', 't', 13, 1, 7, 6, 'c', 'o', 'n', 'f', 'i', 'g', 7, 1, 'x'}},
      {"call without arguments writes null",
       Codec().EncodeMethodCall(MethodCall<>("stop", nullptr)),
       {7, 4, 's', 't', 'o', 'p', 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(*c.encoded, c.bytes);
  }
}

TEST(StandardCodecEncoding, WritesACustomValueAsNullAndSaysSo) {
  const EncodableValue custom = CustomEncodableValue(std::string("native only"));
  std::unique_ptr<std::vector<std::uint8_t>> envelope;
  const std::string log = StderrOf([&] { envelope = Codec().EncodeSuccessEnvelope(&custom); });
  EXPECT_EQ(*envelope, (Bytes{0, 0}));
  EXPECT_EQ(log,
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require "
            "codec extensions.\n");
}

// Decodes `bytes` from a copy placed `offset` bytes into a buffer, so element reads also meet
// addresses that are not aligned for their type.
EncodableValue DeserializeAt(const Bytes& bytes, std::size_t offset) {
  Bytes storage(offset + bytes.size());
  std::memcpy(storage.data() + offset, bytes.data(), bytes.size());
  flutter::ByteBufferStreamReader reader(storage.data() + offset, bytes.size());
  EncodableValue value = Serializer().ReadValue(&reader);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  return value;
}

EncodableValue EveryKindNested() {
  EncodableMap inner;
  inner[EncodableValue("doubles")] =
      EncodableValue(std::vector<double>{1.5, -0.0, std::numeric_limits<double>::infinity(),
                                         std::numeric_limits<double>::denorm_min()});
  inner[EncodableValue(std::int64_t{7})] =
      EncodableValue(std::vector<std::int64_t>{std::numeric_limits<std::int64_t>::min(), 0, 1});
  inner[EncodableValue(std::vector<std::uint8_t>{})] =
      EncodableValue(std::vector<float>{0.5f, -2.0f, 3.25f});
  inner[EncodableValue(std::vector<std::int32_t>{1})] = EncodableValue(EncodableList{});
  inner[EncodableValue(false)] = EncodableValue(EncodableMap{});
  return EncodableList{
      EncodableValue("ab"),
      EncodableValue(std::vector<std::int32_t>{1, 2, std::numeric_limits<std::int32_t>::min()}),
      EncodableValue(std::move(inner)),
      EncodableValue(EncodableList{EncodableValue(std::vector<std::uint8_t>{1, 2, 3}),
                                   EncodableValue(-1.25),
                                   EncodableValue(std::vector<double>{2.0}),
                                   EncodableValue(std::vector<std::int64_t>{})}),
      EncodableValue(true),
      EncodableValue(false),
      EncodableValue(),
      EncodableValue(std::numeric_limits<std::int64_t>::max()),
      EncodableValue(std::numeric_limits<std::int32_t>::min()),
      EncodableValue(std::string("\0\xff", 2)),
  };
}

TEST(StandardCodecRoundTrip, EveryKindNestedComesBackEqual) {
  const EncodableValue value = EveryKindNested();
  const Bytes bytes = Serialize(value);
  for (std::size_t offset = 0; offset < 8; ++offset) {
    SCOPED_TRACE(offset);
    EXPECT_EQ(DeserializeAt(bytes, offset), value);
  }
}

TEST(StandardCodecRoundTrip, EnvelopesAndCallsShiftTheAlignmentAndStillReadBack) {
  const EncodableValue value = EveryKindNested();

  std::shared_ptr<AnswerRecord> record;
  auto result = RecordingResult::Make(record);
  const auto success = Codec().EncodeSuccessEnvelope(&value);
  ASSERT_TRUE(Codec().DecodeAndProcessResponseEnvelope(success->data(), success->size(),
                                                       result.get()));
  ASSERT_EQ(record->answers.size(), 1u);
  EXPECT_EQ(record->answers[0].kind, Answer::kSuccess);
  EXPECT_EQ(record->answers[0].value, value);

  result = RecordingResult::Make(record);
  const auto error = Codec().EncodeErrorEnvelope("odd", "text", &value);
  ASSERT_TRUE(
      Codec().DecodeAndProcessResponseEnvelope(error->data(), error->size(), result.get()));
  ASSERT_EQ(record->answers.size(), 1u);
  EXPECT_EQ(record->answers[0].kind, Answer::kError);
  EXPECT_EQ(record->answers[0].code, "odd");
  EXPECT_EQ(record->answers[0].message, "text");
  EXPECT_EQ(record->answers[0].value, value);

  // A method name of 1 to 8 bytes moves the arguments through every alignment.
  for (std::string name = "m"; name.size() <= 8; name += 'x') {
    SCOPED_TRACE(name);
    const auto encoded =
        Codec().EncodeMethodCall(MethodCall<>(name, std::make_unique<EncodableValue>(value)));
    const auto call = Codec().DecodeMethodCall(encoded->data(), encoded->size());
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->method_name(), name);
    ASSERT_NE(call->arguments(), nullptr);
    EXPECT_EQ(*call->arguments(), value);
  }
}

TEST(StandardCodecRoundTrip, SizesAtTheEncodingBoundaries) {
  for (const std::size_t size : {253u, 254u, 65535u, 65536u}) {
    SCOPED_TRACE(size);
    const std::size_t size_bytes = size < 254 ? 1 : size <= 65535 ? 3 : 5;
    std::string text(size, 'x');
    text.front() = 'a';
    text.back() = 'z';
    std::vector<std::uint8_t> bytes(size);
    std::vector<std::int32_t> int32s(size);
    std::vector<double> doubles(size);
    EncodableList list;
    EncodableMap map;
    for (std::size_t i = 0; i < size; ++i) {
      bytes[i] = static_cast<std::uint8_t>(i * 7);
      int32s[i] = static_cast<std::int32_t>(i) - 100;
      doubles[i] = static_cast<double>(i) / 3;
      list.emplace_back(static_cast<std::int32_t>(i));
      map.emplace(EncodableValue(static_cast<std::int32_t>(i)), EncodableValue(i % 2 == 0));
    }
    const struct {
      const char* name;
      EncodableValue value;
    } cases[] = {
        {"string", EncodableValue(text)},         {"byte list", EncodableValue(bytes)},
        {"int32 list", EncodableValue(int32s)},   {"double list", EncodableValue(doubles)},
        {"list", EncodableValue(list)},           {"map", EncodableValue(map)},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const Bytes encoded = Serialize(c.value);
      flutter::ByteBufferStreamReader reader(encoded.data() + 1, encoded.size() - 1);
      EXPECT_EQ(Serializer().ReadSize(&reader), size);
      EXPECT_EQ(encoded.size() - reader.BytesRemaining(), 1 + size_bytes);
      // Read back whole: the same value, and nothing left over.
      EXPECT_EQ(DeserializeAt(encoded, 3), c.value);
    }
  }
}

TEST(EncodableValueOrder, KindFirstThenContent) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    EncodableValue smaller;
    EncodableValue larger;
  } cases[] = {
      {"null before false", EncodableValue(), EncodableValue(false)},
      {"false before true", EncodableValue(false), EncodableValue(true)},
      {"any int32 before any int64", EncodableValue(100), EncodableValue(std::int64_t{1})},
      {"numbers numerically", EncodableValue(-3), EncodableValue(2)},
      {"strings by unsigned bytes", EncodableValue("\x7f"), EncodableValue("\x80")},
      {"a prefix first", EncodableValue("con"), EncodableValue("config")},
      {"a string before the same bytes as a byte list", EncodableValue("config"),
       EncodableValue(std::vector<std::uint8_t>{'c', 'o', 'n', 'f', 'i', 'g'})},
      {"NaN after every double", EncodableValue(std::numeric_limits<double>::infinity()),
       EncodableValue(nan)},
      {"lists element by element", EncodableValue(EncodableList{EncodableValue(1)}),
       EncodableValue(EncodableList{EncodableValue(2)})},
      {"a shorter list first", EncodableValue(EncodableList{EncodableValue(1)}),
       EncodableValue(EncodableList{EncodableValue(1), EncodableValue()})},
      {"double lists with NaN", EncodableValue(std::vector<double>{1.0, 5.0}),
       EncodableValue(std::vector<double>{1.0, nan})},
      {"maps by entries",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}}),
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(2)}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.smaller < c.larger);
    EXPECT_FALSE(c.larger < c.smaller);
  }
}

TEST(EncodableValueOrder, NaNKeysAndSignedZerosAreEachOneKey) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EncodableMap map;
  map.emplace(EncodableValue(nan), EncodableValue(1));
  map.emplace(EncodableValue(-nan), EncodableValue(2));
  map.emplace(EncodableValue(0.0), EncodableValue(3));
  map.emplace(EncodableValue(-0.0), EncodableValue(4));
  map.emplace(EncodableValue(1.0), EncodableValue(5));
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map.begin()->second, EncodableValue(3));
  EXPECT_EQ(map.rbegin()->second, EncodableValue(1));
  EXPECT_EQ(map.count(EncodableValue(nan)), 1u);
}

}  // namespace
}  // namespace glue_test
