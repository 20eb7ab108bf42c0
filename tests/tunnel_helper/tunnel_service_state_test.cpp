#include "tunnel_helper/tunnel_service_state.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/tunnel_helper/tunnel_test_support.h"

namespace tunnel_helper {
namespace {

using tunnel_test::CleanMachineTest;

class TunnelServiceStateTest : public CleanMachineTest {};

DWORD ElapsedSince(DWORD start) { return GetTickCount() - start; }

TEST_F(TunnelServiceStateTest, NotInstalledIsNotRunningWithoutError) {
  std::string error = "left alone";
  EXPECT_EQ(QueryTunnelServiceState(error), 0u);
  EXPECT_EQ(error, "left alone");

  // The wanted state is there at the first query: no pause.
  std::string wait_error;
  const DWORD start = GetTickCount();
  EXPECT_TRUE(WaitForTunnelServiceState(kTunnelStateNotRunning, 5000, wait_error));
  EXPECT_LT(ElapsedSince(start), kTunnelServicePollIntervalMs);
  EXPECT_EQ(wait_error, "");
}

TEST_F(TunnelServiceStateTest, RunningServiceGivesThreeNotTheManagersFour) {
  ASSERT_TRUE(tunnel_test::InstallTunnelWithBuiltStandIn(tunnel_test::TunnelConfig()));
  ASSERT_TRUE(tunnel_test::WaitUntilTunnelServiceRuns());
  std::string error;
  EXPECT_EQ(QueryTunnelServiceState(error), 3u);
  EXPECT_EQ(error, "");

  std::string wait_error;
  EXPECT_TRUE(WaitForTunnelServiceState(kTunnelStateRunning, 1000, wait_error));
  EXPECT_EQ(wait_error, "");
}

TEST_F(TunnelServiceStateTest, StartPendingCountsAsNotRunningUntilItRuns) {
  ASSERT_TRUE(tunnel_test::InstallTunnelWithBuiltStandIn(
      tunnel_test::TunnelConfig("# standin: start-delay-ms = 2500\r\n")));
  const std::optional<tunnel_test::TunnelServiceStatus> status = tunnel_test::QueryTunnelService();
  ASSERT_TRUE(status.has_value());
  ASSERT_EQ(status->state, static_cast<DWORD>(SERVICE_START_PENDING));
  std::string error;
  EXPECT_EQ(QueryTunnelServiceState(error), 0u);
  EXPECT_EQ(error, "");

  // A short wait runs out while the service is still starting...
  std::string wait_error;
  DWORD start = GetTickCount();
  EXPECT_FALSE(WaitForTunnelServiceState(kTunnelStateRunning, 600, wait_error));
  const DWORD short_wait = ElapsedSince(start);
  EXPECT_EQ(wait_error, "WireGuard tunnel service did not reach the running state.");
  EXPECT_GE(short_wait, 600u);
  EXPECT_LT(short_wait, 600u + 2 * kTunnelServicePollIntervalMs + 250u);

  // ...and a longer one keeps polling until the service runs.
  wait_error.clear();
  start = GetTickCount();
  EXPECT_TRUE(WaitForTunnelServiceState(kTunnelStateRunning, 10000, wait_error));
  EXPECT_LT(ElapsedSince(start), 5000u);
  EXPECT_EQ(QueryTunnelServiceState(error), 3u);
}

TEST_F(TunnelServiceStateTest, TimeOutReasonsDependOnTheWantedStateAndKeepAnEarlierText) {
  ASSERT_TRUE(tunnel_test::InstallTunnelWithBuiltStandIn(tunnel_test::TunnelConfig()));
  ASSERT_TRUE(tunnel_test::WaitUntilTunnelServiceRuns());
  struct Case {
    std::uint32_t wanted;
    std::string before;
    std::string after;
  };
  // 7 is neither state: any wanted code but 3 times out with the stop reason.
  const Case cases[] = {
      {kTunnelStateNotRunning, "", "WireGuard tunnel service did not stop cleanly."},
      {7, "", "WireGuard tunnel service did not stop cleanly."},
      {kTunnelStateNotRunning, "earlier text", "earlier text"},
  };
  for (const Case& c : cases) {
    std::string wait_error = c.before;
    EXPECT_FALSE(WaitForTunnelServiceState(c.wanted, 300, wait_error));
    EXPECT_EQ(wait_error, c.after);
  }
}

TEST(TunnelWaitLimitPassed, ElapsedTimeSurvivesTheTickCounterWrapping) {
  struct Case {
    DWORD start;
    DWORD now;
    DWORD limit;
    bool passed;
  };
  const Case cases[] = {
      {1000, 1000, 15000, false},
      {1000, 16000, 15000, false},  // exactly the limit: one more query
      {1000, 16001, 15000, true},
      {0xFFFFFF00u, 0x00000010u, 15000, false},  // wrapped 272 ms after the start
      {0xFFFFFF00u, 0x00003998u, 15000, false},  // wrapped, exactly the limit
      {0xFFFFFF00u, 0x00003999u, 15000, true},
      {0xFFFFFFFFu, 0x00000000u, 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TunnelWaitLimitPassed(c.start, c.now, c.limit), c.passed)
        << c.start << " " << c.now << " " << c.limit;
  }
}

}  // namespace
}  // namespace tunnel_helper
