// The tunnel commands end to end: the app's client, the pipe, the product service under the real
// service control manager, the WireGuard stand-in and the tunnel service it installs.
#include <gtest/gtest.h>

#include <string>

#include "app/tunnel_helper_client.h"
#include "tests/pipe/pipe_test_support.h"
#include "tests/tunnel_helper/tunnel_test_support.h"

namespace {

using tunnel_test::kConfigPath;
using tunnel_test::kWireGuardExe;

class TunnelOverPipeTest : public tunnel_test::CleanMachineTest {
 protected:
  void SetUp() override {
    tunnel_test::CleanMachineTest::SetUp();
    ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
    ASSERT_EQ(test_support::RegisterService(common::kHelperServiceName, L"tunnel_helper.exe"), "");
    ASSERT_EQ(test_support::StartServiceAndWait(common::kHelperServiceName), "");
  }
  void TearDown() override {
    EXPECT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
    tunnel_test::CleanMachineTest::TearDown();
  }

  // The response exactly as the service wrote it on the pipe.
  static std::string Exchange(const std::string& request) {
    common::UniqueFileHandle pipe = pipe_test::ConnectRawClient();
    if (!pipe) return "no pipe";
    DWORD written = 0;
    if (!WriteFile(pipe.get(), request.data(), static_cast<DWORD>(request.size()), &written,
                   nullptr)) {
      return "write failed";
    }
    std::string error;
    return app::ReadPipeMessage(pipe.get(), common::kMaxHelperResponseBytes, &error)
        .value_or(error);
  }
};

std::optional<DWORD> TunnelState() {
  const auto status = tunnel_test::QueryTunnelService();
  return status ? std::optional<DWORD>(status->state) : std::nullopt;
}

TEST_F(TunnelOverPipeTest, StartStatusStopOnACleanMachine) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  EXPECT_EQ(Exchange(R"({"command":"status"})"), R"({"ok":true,"statusRaw":0})");

  const std::string config = tunnel_test::TunnelConfig();
  EXPECT_EQ(Exchange(common::EncodeHelperRequest("start", config)), R"({"ok":true,"statusRaw":3})");
  EXPECT_EQ(tunnel_test::ReadFileBytes(kConfigPath), config);
  EXPECT_EQ(TunnelState(), static_cast<DWORD>(SERVICE_RUNNING));

  const app::HelperResponse status = app::SendHelperRequest(common::EncodeHelperRequest("status"));
  EXPECT_TRUE(status.ok) << status.message;
  EXPECT_EQ(status.statusRaw, 3);

  EXPECT_EQ(Exchange(R"({"command":"stop"})"), R"({"ok":true,"statusRaw":0})");
  EXPECT_EQ(TunnelState(), std::nullopt) << "the tunnel service is gone";
  EXPECT_EQ(tunnel_test::ReadFileBytes(kConfigPath), config) << "the config stays";
  EXPECT_EQ(app::SendHelperRequest(common::EncodeHelperRequest("status")).statusRaw, 0);
}

TEST_F(TunnelOverPipeTest, FailuresReachTheAppWithTheirMessages) {
  // WireGuard missing: the config is still written.
  const app::HelperResponse missing =
      app::SendHelperRequest(common::EncodeHelperRequest("start", tunnel_test::TunnelConfig()));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.message,
            "WireGuard for Windows is missing. Reinstall ZEQ VPN to restore the bundled WireGuard "
            "dependency and try again.");
  EXPECT_FALSE(missing.statusRaw.has_value());
  EXPECT_TRUE(tunnel_test::ReadFileBytes(kConfigPath).has_value());

  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const app::HelperResponse refused = app::SendHelperRequest(common::EncodeHelperRequest(
      "start", tunnel_test::TunnelConfig("# standin: install-exit = 3\n"
                                         "# standin: install-output = Bad key.\r\n")));
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "WireGuard couldn't install the tunnel.\n\nBad key.");

  const app::HelperResponse unknown = app::SendHelperRequest(R"({"command":"restart"})");
  EXPECT_EQ(unknown.message, "Unsupported tunnel helper command.");
  const app::HelperResponse no_config = app::SendHelperRequest(R"({"command":"start"})");
  EXPECT_EQ(no_config.message, "Missing WireGuard config for the tunnel helper.");
}

}  // namespace
