#include "common/helper_json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace common {
namespace {

using namespace std::string_literals;

TEST(EscapeJsonString, EscapesExactlyTheSevenBytes) {
  EXPECT_EQ(EscapeJsonString("\"\\\t\n\b\f\r"), R"(\"\\\t\n\b\f\r)");
  // Everything else is copied: other control bytes, DEL, the slash and bytes from 0x80 up.
  const std::string untouched = "\x01\x0b\x1f\x7f/\x80\xff"s + '\0' + "abc";
  EXPECT_EQ(EscapeJsonString(untouched), untouched);
  EXPECT_EQ(EscapeJsonString(""), "");
}

TEST(ParseJsonStringAt, EveryByteSurvivesEscapeThenParse) {
  std::string all_bytes;
  for (int byte = 0; byte < 256; ++byte) all_bytes.push_back(static_cast<char>(byte));
  for (const std::string& original :
       {all_bytes, ""s, "\0\0"s, "\\\"\\"s, "tab\there"s, "\xff\xfe\x01"s}) {
    const std::string literal = "\"" + EscapeJsonString(original) + "\"";
    std::size_t position = 0;
    std::string decoded = "stale";
    ASSERT_TRUE(ParseJsonStringAt(literal, position, decoded));
    EXPECT_EQ(decoded, original);
    EXPECT_EQ(position, literal.size());
  }
}

TEST(ParseJsonStringAt, DecodesEscapes) {
  struct Case {
    std::string literal;
    std::string decoded;
    std::size_t end;
  };
  const Case cases[] = {
      {R"("a\/b")", "a/b", 6},          {R"("\b\f\n\r\t")", "\b\f\n\r\t", 12},
      {R"("st\u0061rt")", "st?rt", 12}, {R"("\ud83d\ude00")", "??", 14},
      {R"("\uZZZZ")", "?", 8},  // The four bytes are not looked at.
      {R"("x" trailing)", "x", 3},
  };
  for (const Case& c : cases) {
    std::size_t position = 0;
    std::string out;
    EXPECT_TRUE(ParseJsonStringAt(c.literal, position, out)) << c.literal;
    EXPECT_EQ(out, c.decoded) << c.literal;
    EXPECT_EQ(position, c.end) << c.literal;
  }
}

TEST(ParseJsonStringAt, FailureLeavesPositionAndOutputAlone) {
  for (const std::string literal : {R"("unterminated)", R"("bad \x escape")", R"("short \u12)",
                                    R"("ends in backslash\)", "no quote", "", R"(")"}) {
    std::size_t position = 0;
    std::string out = "kept";
    EXPECT_FALSE(ParseJsonStringAt(literal, position, out)) << literal;
    EXPECT_EQ(position, 0u) << literal;
    EXPECT_EQ(out, "kept") << literal;
  }
  std::size_t past_end = 3;
  std::string out = "kept";
  EXPECT_FALSE(ParseJsonStringAt("\"a\"", past_end, out));
  EXPECT_EQ(past_end, 3u);
}

TEST(FindJsonStringField, ReadsTheCommandWhereverItStands) {
  struct Case {
    std::string text;
    std::optional<std::string> command;
  };
  const Case cases[] = {
      {R"({"command":"stop"})", "stop"},
      {"{  \"command\" :   \"stop\" , \"x\":1}", "stop"},
      {" \t\r\n{\"command\"\n:\v\f\"stop\"}", "stop"},
      {R"({"x":{"command":"stop"}})", "stop"},
      {R"({"command":"stop"}garbage"command":"start")", "stop"},
      {R"({"command":5,"command":"stop"})", "stop"},
      {R"({"command":"stop","command":"start"})", "stop"},
      {R"({"note":"command","command":"status"})", "status"},
      {R"({"command":"st\u0061rt"})", "st?rt"},
      {R"({"command":"sto\/p"})", "sto/p"},
      {R"({"command":"stop)", std::nullopt},
      {R"({"command":"\x"})", std::nullopt},
      {R"({"command":"ab\u12)", std::nullopt},
      {R"({"command":)", std::nullopt},
      {R"({"command":   )", std::nullopt},
      {R"({"command")", std::nullopt},
      {R"({"command" "stop"})", std::nullopt},
      {R"({"commands":"stop"})", std::nullopt},
      {R"({"Command":"stop"})", std::nullopt},
      {"", std::nullopt},
      {R"({"other":"value"})", std::nullopt},
      {R"("command")", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindJsonStringField(c.text, "command"), c.command) << c.text;
  }
}

TEST(FindJsonStringField, MessageEscapesDecode) {
  EXPECT_EQ(FindJsonStringField(R"({"ok":false,"message":"a\nb\"c\\d"})", "message"), "a\nb\"c\\d");
}

TEST(FindJsonStringField, KeyIsSearchedUnescaped) {
  EXPECT_EQ(FindJsonStringField(R"({"a\"b":"v"})", "a\\\"b"), "v");
  EXPECT_EQ(FindJsonStringField(R"({"":"empty key"})", ""), "empty key");
}

TEST(FindJsonBoolField, ReadsOnlyTheBareWords) {
  struct Case {
    std::string text;
    std::optional<bool> ok;
  };
  const Case cases[] = {
      {R"({"ok":true})", true},
      {R"({"ok":false})", false},
      {R"({"ok":trueish})", true},
      {R"({"ok" : false,"message":"x"})", false},
      {R"({"ok":"true","ok":false})", false},
      {R"({"ok":"true"})", std::nullopt},
      {R"({"ok":1})", std::nullopt},
      {R"({"ok":TRUE})", std::nullopt},
      {R"({"ok":tru)", std::nullopt},
      {R"({"ok":)", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindJsonBoolField(c.text, "ok"), c.ok) << c.text;
  }
}

TEST(FindJsonIntField, ReadsSignedDecimalPrefix) {
  struct Case {
    std::string text;
    std::optional<std::int32_t> value;
  };
  const Case cases[] = {
      {R"({"statusRaw":3})", 3},
      {R"({"statusRaw":-1})", -1},
      {R"({"statusRaw":007})", 7},
      {R"({"statusRaw":0})", 0},
      {R"({"statusRaw":3.5})", 3},
      {R"({"statusRaw":12abc})", 12},
      {R"({"statusRaw":2147483647})", 2147483647},
      {R"({"statusRaw":-2147483648})", std::numeric_limits<std::int32_t>::min()},
      // Longer runs wrap modulo 2^32 rather than overflow.
      {R"({"statusRaw":2147483648})", std::numeric_limits<std::int32_t>::min()},
      {R"({"statusRaw":4294967295})", -1},
      {R"({"statusRaw":4294967299})", 3},
      {R"({"statusRaw":"x","statusRaw":4})", 4},
      {R"({"statusRaw":"3"})", std::nullopt},
      {R"({"statusRaw":+3})", std::nullopt},
      {R"({"statusRaw":-})", std::nullopt},
      {R"({"statusRaw":-x})", std::nullopt},
      {R"({"statusRaw":)", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindJsonIntField(c.text, "statusRaw"), c.value) << c.text;
  }
}

TEST(FindJsonIntField, EveryPowerOfTenAndItsNeighboursReadExactly) {
  for (std::int64_t value = 1; value <= std::numeric_limits<std::int32_t>::max(); value *= 10) {
    for (const std::int64_t v : {value - 1, value, value + 1}) {
      const std::string text = "{\"n\":" + std::to_string(v) + "}";
      EXPECT_EQ(FindJsonIntField(text, "n"), static_cast<std::int32_t>(v)) << text;
    }
  }
}

TEST(FindJsonIntField, VeryLongDigitRunsAreDefined) {
  // Under UBSan a signed overflow here would abort the test.
  const std::string text = "{\"n\":" + std::string(4096, '9') + "}";
  EXPECT_TRUE(FindJsonIntField(text, "n").has_value());
}

}  // namespace
}  // namespace common
