// The service's life under the real service control manager of the Wine prefix, and the status
// reports it makes there.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>

#include "app/tunnel_helper_client.h"
#include "common/windows_error.h"
#include "tests/support/dacl.h"
#include "tests/support/pipes.h"
#include "tests/support/process.h"
#include "tests/support/test_helper_service.h"
#include "tunnel_helper/service_status.h"

namespace {

using common::kHelperPipeName;
using common::kHelperServiceName;
using test_support::QueryService;
using test_support::SendServiceControl;

constexpr char kNotOurService[] =
    "ZEQ VPN tunnel helper pipe is not served by the ZEQ VPN tunnel helper service.";

class ServiceHostTest : public test_support::HelperServiceTest {};

DWORD StateWithin(DWORD limit_ms) {
  return test_support::WaitForService(
             kHelperServiceName, limit_ms,
             [](const auto& s) { return s.dwCurrentState == SERVICE_STOPPED; })
      .dwCurrentState;
}

// The reports themselves are checked on the reporter (at the end).
TEST_F(ServiceHostTest, RunningUntilAStopWithNoClientEndsIt) {
  EXPECT_TRUE(SendServiceControl(kHelperServiceName, SERVICE_CONTROL_INTERROGATE));
  EXPECT_EQ(QueryService(kHelperServiceName).dwControlsAccepted,
            static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));

  ASSERT_TRUE(SendServiceControl(kHelperServiceName, SERVICE_CONTROL_STOP));
  EXPECT_EQ(StateWithin(2000), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(QueryService(kHelperServiceName).dwWin32ExitCode, 0u);
  EXPECT_FALSE(WaitNamedPipeW(kHelperPipeName, 100));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// A request being carried out when the stop comes is answered whole; so is a client that
// connected before it and writes as it comes. One that never writes does not hold the stop up.
TEST_F(ServiceHostTest, AStopServesConnectedClientsToTheEnd) {
  // The test service sets this event when it has begun to carry out a "sleep".
  const common::UniqueHandle sleeping(
      CreateEventW(nullptr, TRUE, FALSE, test_support::kSleepingEvent));
  ASSERT_TRUE(sleeping);
  common::ReceivedHelperResponse slow;
  {
    std::thread client(
        [&slow] { slow = app::SendHelperRequest({.command = "sleep", .config = "1500"}); });
    const DWORD began = WaitForSingleObject(sleeping.get(), 10000);
    const ::testing::AssertionResult stop =
        SendServiceControl(kHelperServiceName, SERVICE_CONTROL_STOP);
    const SERVICE_STATUS_PROCESS pending = QueryService(kHelperServiceName);
    client.join();
    ASSERT_EQ(began, static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_TRUE(stop);
    EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(pending.dwWaitHint, 3000u);
    EXPECT_EQ(slow.message, "slept");
  }
  EXPECT_EQ(StateWithin(5000), static_cast<DWORD>(SERVICE_STOPPED));

  ASSERT_TRUE(test_support::StartServiceAndWait(kHelperServiceName));
  {
    const common::UniqueFileHandle client = test_support::ConnectRawClient();
    ASSERT_TRUE(client);
    ::testing::AssertionResult stop = ::testing::AssertionFailure();
    std::thread stopper(
        [&stop] { stop = SendServiceControl(kHelperServiceName, SERVICE_CONTROL_STOP); });
    const std::string request = test_support::EchoRequestOfSize(90);
    const ::testing::AssertionResult written = test_support::WriteMessages(client.get(), {request});
    stopper.join();
    ASSERT_TRUE(written);
    ASSERT_TRUE(stop);
    std::string error;
    EXPECT_EQ(app::ReadPipeMessage(client.get(), 1000, &error).value_or(error),
              test_support::EchoOf(request));
  }
  EXPECT_EQ(StateWithin(5000), static_cast<DWORD>(SERVICE_STOPPED));

  ASSERT_TRUE(test_support::StartServiceAndWait(kHelperServiceName));
  const common::UniqueFileHandle silent = test_support::ConnectRawClient();
  ASSERT_TRUE(silent);
  const ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(SendServiceControl(kHelperServiceName, SERVICE_CONTROL_STOP));
  EXPECT_EQ(StateWithin(6000), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_LT(GetTickCount64() - started, 4000u);
}

// Protected (nothing inherited): LocalSystem and Administrators all, Authenticated Users read
// and write, no one else.
TEST_F(ServiceHostTest, PipeCarriesItsProtectedDacl) {
  const common::UniqueFileHandle pipe = test_support::ConnectRawClient();
  ASSERT_TRUE(pipe);
  EXPECT_EQ(test_support::DaclOf(pipe.get()),
            test_support::NormalizedDacl(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;AU)"));
}

// A process that takes the pipe's name first receives nothing: not while the service is stopped,
// not while it runs beside it. The service retries and takes the name once it is free.
TEST_F(ServiceHostTest, NameHeldByAnotherServerIsNotTrusted) {
  ASSERT_TRUE(test_support::StopServiceAndWait(kHelperServiceName));
  {
    test_support::PipeServer squatter(kHelperPipeName);
    ASSERT_TRUE(squatter.valid());
    EXPECT_EQ(app::SendHelperMessage(R"({"command":"secret"})").message, kNotOurService);
    EXPECT_EQ(squatter.Received(), "");
    squatter.ListenAgain();

    ASSERT_TRUE(test_support::StartServiceAndWait(kHelperServiceName));
    EXPECT_EQ(app::SendHelperMessage(R"({"command":"secret"})").message, kNotOurService);
    EXPECT_EQ(squatter.Received(), "");
    // Nor did the service join the name: with the squatter's instance taken, no one else listens.
    squatter.ListenAgain();
    const common::UniqueFileHandle taken = test_support::ConnectRawClient();
    const common::UniqueFileHandle another(CreateFileW(
        kHelperPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(taken.valid() && !another.valid());
  }
  const std::string request = test_support::EchoRequestOfSize(64);
  common::ReceivedHelperResponse served;
  EXPECT_TRUE(
      test_support::PollUntil([&] { return (served = app::SendHelperMessage(request)).ok; }, 5000))
      << served.message;
  EXPECT_EQ(served.message, test_support::Fingerprint(request));
}

// When the server's identity cannot be checked at all (here: no such service), the client says
// so, rather than calling the server a stranger, and sends it nothing.
TEST_F(ServiceHostTest, AServerThatCannotBeCheckedIsNotTrustedAndTheClientSaysWhy) {
  ASSERT_TRUE(test_support::RemoveService(kHelperServiceName));
  test_support::PipeServer squatter(kHelperPipeName);
  ASSERT_TRUE(squatter.valid());
  EXPECT_EQ(app::SendHelperMessage(R"({"command":"secret"})").message,
            "Couldn't verify the ZEQ VPN tunnel helper service: " +
                common::DescribeWindowsErrorKeepingBlanks(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(squatter.Received(), "");
}

TEST(ProductService, StartedByHandExitsWithZero) {
  // Wine takes about 10 s to give up connecting to the service control manager.
  const test_support::ProcessRun run =
      test_support::RunProcess(test_support::BuiltProgram(L"tunnel_helper.exe"), 30000);
  EXPECT_EQ(run.exit_code, 0u);
}

// A pending phase counts its reports from 1, anything else reports 0; no control is accepted
// while the service starts. (The rest of a report is what it was given.)
TEST(ServiceStatusReporter, CountsCheckpointsAndAcceptsControlsOnceStarted) {
  constexpr DWORD kStopAndShutdown = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  // The state reported, then the checkpoint and the controls accepted, over a service's life
  // with repeated stop controls and a second start.
  const std::tuple<DWORD, DWORD, DWORD> steps[] = {
      {SERVICE_START_PENDING, 1, 0},
      {SERVICE_RUNNING, 0, kStopAndShutdown},
      {SERVICE_STOP_PENDING, 1, kStopAndShutdown},
      {SERVICE_STOP_PENDING, 2, kStopAndShutdown},
      {SERVICE_STOP_PENDING, 3, kStopAndShutdown},
      {SERVICE_STOPPED, 0, kStopAndShutdown},
      {SERVICE_START_PENDING, 1, 0},
      {SERVICE_STOPPED, 0, kStopAndShutdown},
  };
  tunnel_helper::ServiceStatusReporter reporter;  // No handle: nothing reaches a real manager.
  for (const auto& [state, checkpoint, controls] : steps) {
    reporter.Report(state, ERROR_SUCCESS, 3000);
    const SERVICE_STATUS status = reporter.Current();
    EXPECT_EQ(std::tuple(status.dwCurrentState, status.dwCheckPoint, status.dwControlsAccepted),
              std::tuple(state, checkpoint, controls));
  }
}

}  // namespace
