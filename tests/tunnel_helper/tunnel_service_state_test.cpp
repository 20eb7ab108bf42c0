#include "tunnel_helper/tunnel_service_state.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tunnel_machine.h"

namespace tunnel_helper {
namespace {

class TunnelServiceStateTest : public test_support::CleanMachineTest {};

DWORD ElapsedSince(DWORD start) { return GetTickCount() - start; }

TEST_F(TunnelServiceStateTest, NotInstalledIsNotRunningWithoutErrorOrPause) {
  std::string error = "left alone";
  EXPECT_EQ(QueryTunnelServiceState(error), kTunnelStateNotRunning);
  EXPECT_EQ(error, "left alone");
  const DWORD start = GetTickCount();
  EXPECT_TRUE(WaitForTunnelServiceState(kTunnelStateNotRunning, 5000, error));
  EXPECT_LT(ElapsedSince(start), kTunnelServicePollIntervalMs);
}

// START_PENDING is not running: a short wait runs out with the reason for the wanted state, a
// longer one polls until the service runs, which reads 3, not 4.
TEST_F(TunnelServiceStateTest, AServiceThatIsStillStartingIsWaitedFor) {
  test_support::SetStandInDirectives("start-delay-ms = 2500\r\n");
  ASSERT_TRUE(test_support::InstallTunnelWithBuiltStandIn(test_support::TunnelConfig(), false));
  std::string error;
  EXPECT_EQ(QueryTunnelServiceState(error), kTunnelStateNotRunning);
  EXPECT_EQ(error, "");
  const DWORD start = GetTickCount();
  EXPECT_FALSE(WaitForTunnelServiceState(kTunnelStateRunning, 600, error));
  EXPECT_EQ(error, "WireGuard tunnel service did not reach the running state.");
  EXPECT_GE(ElapsedSince(start), 600u);
  EXPECT_TRUE(WaitForTunnelServiceState(kTunnelStateRunning, 10000, error));
  EXPECT_EQ(QueryTunnelServiceState(error), kTunnelStateRunning);
}

TEST(TunnelWaitLimitPassed, ElapsedTimeSurvivesTheTickCounterWrapping) {
  const struct {
    DWORD start, now, limit;
    bool passed;
  } cases[] = {
      {1000, 16000, 15000, false},  // exactly the limit: one more query
      {1000, 16001, 15000, true},
      {0xFFFFFF00u, 0x00003998u, 15000, false},  // wrapped, exactly the limit
      {0xFFFFFF00u, 0x00003999u, 15000, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TunnelWaitLimitPassed(c.start, c.now, c.limit), c.passed) << c.start << " " << c.now;
  }
}

}  // namespace
}  // namespace tunnel_helper
