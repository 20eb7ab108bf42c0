#include "tunnel_helper/tunnel_service_state.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/support/tunnel_machine.h"

namespace tunnel_helper {
namespace {

class TunnelServiceStateTest : public test_support::CleanMachineTest {};

// A wait that runs out, on a service still starting, is seen through "start" in
// tunnel_commands_test.cpp, with the product's limit.
TEST_F(TunnelServiceStateTest, NotInstalledIsNotRunningWithoutErrorOrPause) {
  std::string error = "left alone";
  EXPECT_EQ(QueryTunnelServiceState(error), kTunnelStateNotRunning);
  EXPECT_EQ(error, "left alone");
  const DWORD start = GetTickCount();
  EXPECT_TRUE(WaitForTunnelServiceState(kTunnelStateNotRunning, 5000, error));
  EXPECT_LT(GetTickCount() - start, kTunnelServicePollIntervalMs);
}

TEST(TunnelWaitLimitPassed, ElapsedTimeSurvivesTheTickCounterWrapping) {
  // The start, the tick now, and whether 15 s have passed.
  const std::tuple<DWORD, DWORD, bool> cases[] = {
      {1000, 16000, false},  // exactly the limit: one more query
      {1000, 16001, true},
      {0xFFFFFF00u, 0x00003998u, false},  // wrapped, exactly the limit
      {0xFFFFFF00u, 0x00003999u, true},
  };
  for (const auto& [start, now, passed] : cases) {
    EXPECT_EQ(TunnelWaitLimitPassed(start, now, 15000), passed) << start << " " << now;
  }
}

}  // namespace
}  // namespace tunnel_helper
