#include "common/helper_protocol.h"

#include <gtest/gtest.h>

#include "common/helper_json.h"

namespace common {
namespace {

TEST(EncodeHelperRequest, WritesCompactFieldsInOrder) {
  EXPECT_EQ(EncodeHelperRequest("status"), R"({"command":"status"})");
  EXPECT_EQ(EncodeHelperRequest("stop"), R"({"command":"stop"})");
  EXPECT_EQ(EncodeHelperRequest("start", ""), R"({"command":"start","config":""})");
  EXPECT_EQ(EncodeHelperRequest("start", "[Interface]\nA = \"b\"\\\r\n"),
            R"({"command":"start","config":"[Interface]\nA = \"b\"\\\r\n"})");
}

TEST(EncodeHelperRequest, ServiceReadsBackWhatAppWrote) {
  const std::string config = std::string("[Interface]\r\nPrivateKey = k\0ey\xff\n", 33);
  const std::string request = EncodeHelperRequest("start", config);
  EXPECT_EQ(FindJsonStringField(request, "command"), "start");
  EXPECT_EQ(FindJsonStringField(request, "config"), config);
}

TEST(EncodeHelperResponse, WritesCompactFieldsInOrder) {
  struct Case {
    tunnel_helper::HelperResponse response;
    std::string text;
  };
  const Case cases[] = {
      {{.ok = true, .message = "", .statusRaw = 3}, R"({"ok":true,"statusRaw":3})"},
      {{.ok = true, .message = "", .statusRaw = 0}, R"({"ok":true,"statusRaw":0})"},
      {{.ok = true, .message = "", .statusRaw = {}}, R"({"ok":true})"},
      {{.ok = false, .message = "", .statusRaw = {}}, R"({"ok":false})"},
      {{.ok = false, .message = "Bad \"x\"\n", .statusRaw = 4294967295u},
       R"({"ok":false,"message":"Bad \"x\"\n","statusRaw":4294967295})"},
      {MakeFailureResponse("Unsupported tunnel helper command."),
       R"({"ok":false,"message":"Unsupported tunnel helper command."})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeHelperResponse(c.response), c.text);
  }
}

TEST(MakeFailureResponse, CarriesMessageWithoutStatus) {
  const tunnel_helper::HelperResponse response = MakeFailureResponse("It broke.");
  EXPECT_FALSE(response.ok);
  EXPECT_EQ(response.message, "It broke.");
  EXPECT_FALSE(response.statusRaw.has_value());
}

}  // namespace
}  // namespace common
