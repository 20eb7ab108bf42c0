// The pipe's JSON routines: escaping, string literals, the field readers, and the two messages.
#include <gtest/gtest.h>

#include <climits>

#include "common/helper_json.h"
#include "common/helper_protocol.h"

namespace common {
namespace {

using namespace std::string_literals;

TEST(ParseJsonStringAt, ReadsBackEveryByteEscapedOrLeavesPositionAndOutputAlone) {
  std::string all_bytes;
  for (int byte = 0; byte < 256; ++byte) all_bytes.push_back(static_cast<char>(byte));
  const std::string escaped = EscapeJsonString("\"\\\t\n\b\f\r\x01\x7f/\x80\xff"s + '\0');
  EXPECT_EQ(escaped, R"(\"\\\t\n\b\f\r)" + "\x01\x7f/\x80\xff"s + '\0');
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {'"' + EscapeJsonString(all_bytes) + '"', all_bytes},
      {R"("a\/b\u0061\uZZZZ")", "a/b??"},  // code points are not decoded
      {R"("unterminated)", std::nullopt},
      {R"("bad \x escape")", std::nullopt},
      {R"("short \u12")", std::nullopt},
      {R"("ends in backslash\)", std::nullopt},
      {"no quote", std::nullopt},
  };
  for (const auto& [literal, decoded] : cases) {
    std::size_t position = 0;
    std::string out = "kept";
    EXPECT_EQ(ParseJsonStringAt(literal + " after", position, out), decoded.has_value());
    EXPECT_EQ(out, decoded.value_or("kept")) << literal;
    EXPECT_EQ(position, decoded ? literal.size() : 0) << literal;
  }
}

TEST(FindJsonField, ReadsTheFirstValueOfTheRightKind) {
  const std::pair<std::string, std::optional<std::string>> strings[] = {
      {" \t\r\n{\"command\"\n:\v\f\"stop\" , \"x\":1}", "stop"},
      {R"({"x":{"command":"stop"}})", "stop"},
      {R"({"command":5,"command":"stop","command":"start"})", "stop"},
      {R"({"note":"command","command":"st\u0061rt"})", "st?rt"},
      {R"({"command":"stop)", std::nullopt},
      {R"({"command":   )", std::nullopt},
      {R"({"command" "stop"})", std::nullopt},
      {R"({"commands":"stop","Command":"stop"})", std::nullopt},
  };
  for (const auto& [text, value] : strings)
    EXPECT_EQ(FindJsonStringField(text, "command"), value) << text;

  const std::pair<std::string, std::optional<bool>> bools[] = {
      {R"({"ok":true})", true},
      {R"({"ok":"true","ok" : false})", false},
      {R"({"ok":1,"x":TRUE,"y":tru)", std::nullopt},
  };
  for (const auto& [text, value] : bools) EXPECT_EQ(FindJsonBoolField(text, "ok"), value) << text;

  const std::pair<std::string, std::optional<std::int32_t>> ints[] = {
      {R"({"statusRaw":3})", 3},
      {R"({"statusRaw":007.5})", 7},
      {R"({"statusRaw":2147483647,"x":-2147483648})", INT32_MAX},
      {R"({"statusRaw":-4294967299})", -3},  // longer runs wrap modulo 2^32
      {R"({"statusRaw":"3","statusRaw":4})", 4},
      {R"({"statusRaw":+3,"statusRaw":-x})", std::nullopt},
      {"{\"statusRaw\":" + std::string(4096, '9') + "}", -1},  // no overflow under UBSan
  };
  for (const auto& [text, value] : ints)
    EXPECT_EQ(FindJsonIntField(text, "statusRaw"), value) << text;
}

TEST(HelperProtocol, EachEndReadsWhatTheOtherWrote) {
  const std::string config = "[Interface]\r\nPrivateKey = k\0ey\xff\n\"\\"s;
  EXPECT_EQ(EncodeHelperRequest({.command = "status", .config = {}}), R"({"command":"status"})");
  EXPECT_EQ(EncodeHelperRequest({.command = "start", .config = ""}),
            R"({"command":"start","config":""})");
  for (const HelperRequest& request : {HelperRequest{.command = "start", .config = config},
                                       HelperRequest{.command = "stop", .config = {}}}) {
    EXPECT_EQ(DecodeHelperRequest(EncodeHelperRequest(request)), request);
  }
  EXPECT_EQ(DecodeHelperRequest(R"({"config":"x","command":5})"), std::nullopt);

  const std::pair<HelperResponse, std::string> responses[] = {
      {{.ok = true, .message = "", .statusRaw = 0}, R"({"ok":true,"statusRaw":0})"},
      {{.ok = true, .message = "", .statusRaw = {}}, R"({"ok":true})"},
      {{.ok = false, .message = "Bad \"x\"\n", .statusRaw = 4294967295u},
       R"({"ok":false,"message":"Bad \"x\"\n","statusRaw":4294967295})"},
  };
  for (const auto& [response, text] : responses) {
    EXPECT_EQ(EncodeHelperResponse(response), text);
    const std::optional<ReceivedHelperResponse> read = DecodeHelperResponse(text);
    ASSERT_TRUE(read) << text;
    EXPECT_EQ(read->message, response.message);
    EXPECT_EQ(read->statusRaw.has_value(), response.statusRaw.has_value());
  }
  EXPECT_EQ(DecodeHelperResponse(R"({"ok":1,"message":"m"})"), std::nullopt);
}

}  // namespace
}  // namespace common
