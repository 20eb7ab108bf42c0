#include "tunnel_helper/service_status.h"

#include <gtest/gtest.h>

namespace {

struct Step {
  DWORD state;
  DWORD exit_code;
  DWORD wait_hint;
  DWORD expected_checkpoint;
  DWORD expected_controls;
};

// The reports over a service's life, with repeated stop controls and a second start.
TEST(ServiceStatusReporter, FillsTheRecordForEachReport) {
  constexpr DWORD kStopAndShutdown = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  const Step steps[] = {
      {SERVICE_START_PENDING, 0, 3000, 1, 0},
      {SERVICE_RUNNING, 0, 0, 0, kStopAndShutdown},
      {SERVICE_STOP_PENDING, 0, 3000, 1, kStopAndShutdown},
      {SERVICE_STOP_PENDING, 0, 3000, 2, kStopAndShutdown},
      {SERVICE_STOP_PENDING, 0, 3000, 3, kStopAndShutdown},
      {SERVICE_STOPPED, 0, 0, 0, kStopAndShutdown},
      {SERVICE_START_PENDING, 0, 3000, 1, 0},
      {SERVICE_STOPPED, ERROR_NOT_ENOUGH_MEMORY, 0, 0, kStopAndShutdown},
  };
  tunnel_helper::ServiceStatusReporter reporter;  // No handle: nothing reaches a real manager.
  for (const Step& step : steps) {
    reporter.Report(step.state, step.exit_code, step.wait_hint);
    const SERVICE_STATUS status = reporter.Current();
    EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(status.dwCurrentState, step.state);
    EXPECT_EQ(status.dwWin32ExitCode, step.exit_code);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(status.dwWaitHint, step.wait_hint);
    EXPECT_EQ(status.dwCheckPoint, step.expected_checkpoint) << "state " << step.state;
    EXPECT_EQ(status.dwControlsAccepted, step.expected_controls) << "state " << step.state;
  }
}

}  // namespace
