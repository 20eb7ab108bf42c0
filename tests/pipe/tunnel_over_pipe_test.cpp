// The tunnel commands end to end: the app's client, the pipe, the product service under the real
// service control manager, the WireGuard stand-in and the tunnel service it installs.
#include <gtest/gtest.h>

#include <string>

#include "app/tunnel_helper_client.h"
#include "tests/pipe/pipe_test_support.h"
#include "tests/support/files.h"
#include "tests/tunnel_helper/tunnel_test_support.h"

namespace {

using common::kHelperServiceName;

class TunnelOverPipeTest : public tunnel_test::CleanMachineTest {
 protected:
  void SetUp() override {
    tunnel_test::CleanMachineTest::SetUp();
    ASSERT_TRUE(test_support::StopServiceAndWait(kHelperServiceName));
    ASSERT_EQ(test_support::RegisterService(kHelperServiceName, L"tunnel_helper.exe"), "");
    ASSERT_EQ(test_support::StartServiceAndWait(kHelperServiceName), "");
  }
  void TearDown() override {
    EXPECT_TRUE(test_support::StopServiceAndWait(kHelperServiceName));
    tunnel_test::CleanMachineTest::TearDown();
  }
};

TEST_F(TunnelOverPipeTest, TheAppStartsQueriesAndStopsTheTunnelThroughTheService) {
  const auto send = [](std::string_view command, std::optional<std::string> config = {}) {
    return app::SendHelperRequest(common::EncodeHelperRequest(command, config));
  };
  EXPECT_EQ(send("start", tunnel_test::TunnelConfig()).message,
            "WireGuard for Windows is missing. Reinstall ZEQ VPN to restore the bundled WireGuard "
            "dependency and try again.");
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(tunnel_test::kWireGuardExe));
  EXPECT_EQ(send("status").statusRaw, 0);

  const app::HelperResponse started = send("start", tunnel_test::TunnelConfig());
  EXPECT_TRUE(started.ok) << started.message;
  EXPECT_EQ(started.statusRaw, 3);
  EXPECT_EQ(test_support::ReadFileBytes(tunnel_test::kConfigPath), tunnel_test::TunnelConfig());
  EXPECT_EQ(send("status").statusRaw, 3);

  const app::HelperResponse stopped = send("stop");
  EXPECT_TRUE(stopped.ok) << stopped.message;
  EXPECT_EQ(stopped.statusRaw, 0);
  EXPECT_EQ(tunnel_test::TunnelServiceState(), 0u);
  EXPECT_EQ(send("restart").message, "Unsupported tunnel helper command.");
}

}  // namespace
