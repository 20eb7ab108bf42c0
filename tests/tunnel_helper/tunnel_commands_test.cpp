// The commands as the service carries them out, in process, against the WireGuard stand-in and the
// prefix's real service control manager; responses are compared as they go on the pipe.
#include "tunnel_helper/tunnel_commands.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/file_bytes.h"
#include "common/helper_protocol.h"
#include "common/log_file.h"
#include "tests/support/files.h"
#include "tests/support/tunnel_machine.h"
#include "tests/support/windows_service.h"
#include "tunnel_helper/service_log.h"

namespace tunnel_helper {
namespace {

using common::ReadWholeFile;
using test_support::kConfigPath;
using test_support::kTunnelServiceName;
using test_support::kWireGuardExe;
using test_support::TunnelConfig;
using test_support::TunnelServiceState;
using test_support::WireGuardRuns;

constexpr char kInstallFailed[] = "WireGuard couldn't install the tunnel.";
constexpr char kUninstallFailed[] = "WireGuard couldn't uninstall the tunnel.";
constexpr char kRunning[] = R"({"ok":true,"statusRaw":3})";
constexpr char kNotRunning[] = R"({"ok":true,"statusRaw":0})";
const std::string kUninstallRun = "/uninstalltunnelservice\tdaviza\r\n";
const std::string kInstallRun =
    "/installtunnelservice\tC:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf\r\n";

std::string Respond(const common::HelperRequest& request) {
  return common::EncodeHelperResponse(RunTunnelCommand(request));
}
std::string Start(std::string_view config) {
  return Respond({.command = "start", .config = std::string(config)});
}
std::string Stop() { return Respond({.command = "stop", .config = {}}); }
std::string Status() { return Respond({.command = "status", .config = {}}); }
std::string Failure(std::string_view message) {
  return common::EncodeHelperResponse(common::MakeFailureResponse(std::string(message)));
}

class TunnelCommandsTest : public test_support::CleanMachineTest {};

TEST_F(TunnelCommandsTest, RequestsRefusedBeforeTheMachineIsTouched) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  std::string largest = TunnelConfig("# ");
  largest.resize(65537, 'p');
  const std::pair<common::HelperRequest, const char*> cases[] = {
      {{.command = "Start", .config = {}}, "Unsupported tunnel helper command."},
      {{.command = "start", .config = {}}, "Missing WireGuard config for the tunnel helper."},
      {{.command = "start", .config = ""}, "Missing WireGuard config for the tunnel helper."},
      {{.command = "start", .config = largest},
       "WireGuard config exceeded the maximum supported size."},
  };
  for (const auto& [request, message] : cases) EXPECT_EQ(Respond(request), Failure(message));
  EXPECT_FALSE(test_support::PathExists(test_support::kProductDataDirectory));
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), "");
}

TEST_F(TunnelCommandsTest, StartStatusStopEndToEnd) {
  // Without WireGuard, stop neither looks for nor runs it.
  EXPECT_EQ(Status(), kNotRunning);
  EXPECT_EQ(Stop(), kNotRunning);
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  EXPECT_EQ(Stop(), kNotRunning);
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), "");

  std::string config = TunnelConfig("# ");
  config.resize(65536, 'p');  // The largest config accepted.
  EXPECT_EQ(Start(config), kRunning);
  EXPECT_EQ(ReadWholeFile(kConfigPath), config);
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), kUninstallRun + kInstallRun);
  EXPECT_EQ(Status(), kRunning);

  // A second start replaces the running tunnel at once. With a link planted where the service's
  // log folder goes, the log of its runs is skipped, never written through.
  const std::wstring elsewhere = L"C:\\users\\Public\\planted-logs";
  test_support::CreateFolders(elsewhere);
  ASSERT_TRUE(test_support::PlantDirectoryLink(
      std::wstring(test_support::kProductDataDirectory) + L"\\logs", elsewhere));
  common::SetProcessLog(MakeServiceLog());
  const DWORD first_process = test_support::QueryService(kTunnelServiceName).dwProcessId;
  EXPECT_EQ(Start(TunnelConfig()), kRunning);
  EXPECT_NE(test_support::QueryService(kTunnelServiceName).dwProcessId, first_process);
  common::SetProcessLog(nullptr);
  EXPECT_EQ(test_support::Matching(elsewhere + L"\\*"), std::vector<std::wstring>{});

  EXPECT_EQ(Stop(), kNotRunning);
  EXPECT_EQ(TunnelServiceState(), 0u) << "the tunnel service is gone";
  EXPECT_EQ(ReadWholeFile(kConfigPath), TunnelConfig()) << "stop leaves the config in place";
  EXPECT_EQ(WireGuardRuns(kWireGuardExe),
            kUninstallRun + kInstallRun + kUninstallRun + kInstallRun + kUninstallRun);
  test_support::RemoveTree(test_support::kProductDataDirectory);  // The link before its target.
  test_support::RemoveTree(elsewhere);
}

// What WireGuard writes when it fails reaches the app too: see the test after this one.
TEST_F(TunnelCommandsTest, StartStoresTheConfigFirstAndReportsWhatFollows) {
  const std::string config = TunnelConfig();
  EXPECT_EQ(Start(config), Failure(test_support::kWireGuardMissing));
  EXPECT_EQ(ReadWholeFile(kConfigPath), config);

  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  test_support::SetStandInDirectives("install-exit = 2\r\n");
  const std::string second = TunnelConfig("# the second\r\n");
  EXPECT_EQ(Start(second), Failure(kInstallFailed));
  EXPECT_EQ(ReadWholeFile(kConfigPath), second);
  EXPECT_EQ(TunnelServiceState(), 0u);
}

// Ten million lines (over 100 MB) of output, read while WireGuard runs, reach the app shortened
// to fit, and the service keeps no more of them than that.
TEST_F(TunnelCommandsTest, OutputLongerThanAResponseIsShortened) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  test_support::SetStandInDirectives("install-exit = 1\r\ninstall-output-lines = 10000000\r\n");
  PROCESS_MEMORY_COUNTERS before{};
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before)));
  const std::string response = Start(TunnelConfig());
  PROCESS_MEMORY_COUNTERS after{};
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after)));
  EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, 16u << 20);
  EXPECT_LE(response.size(), common::kMaxHelperResponseBytes);
  const std::string head =
      std::string(R"({"ok":false,"message":")") + kInstallFailed + R"(\n\nline 1\r\nline 2\r\n)";
  EXPECT_EQ(response.rfind(head, 0), 0u) << response.substr(0, 200);
  EXPECT_NE(response.find(R"x(\n(The rest of WireGuard's output was left out.)"})x"),
            std::string::npos);
}

TEST_F(TunnelCommandsTest, ScriptCommandsAreRefusedAndNothingRuns) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  ASSERT_EQ(Start(TunnelConfig()), kRunning);
  const std::string runs_before = WireGuardRuns(kWireGuardExe);
  // Every spelling of a hook is found by ContainsScriptHooks (script_hooks_test.cpp).
  EXPECT_EQ(Start(TunnelConfig("postup = cmd /c calc\r\n")),
            Failure("WireGuard config contains script commands (PreUp, PostUp, PreDown or "
                    "PostDown), which ZEQ VPN does not accept."));
  EXPECT_EQ(ReadWholeFile(kConfigPath), TunnelConfig());
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), runs_before);
}

TEST_F(TunnelCommandsTest, WireGuardThatCannotStartOrIsMissingWhileTheTunnelRuns) {
  ASSERT_TRUE(test_support::InstallTunnelWithBuiltStandIn(TunnelConfig()));
  EXPECT_EQ(Stop(), Failure(test_support::kWireGuardMissing));
  test_support::CreateFolders(L"C:\\Program Files\\WireGuard");
  ASSERT_TRUE(test_support::WriteFileBytes(kWireGuardExe, "This is not a program.\r\n"));
  // The runner's text for a start that failed (wireguard_runner_test.cpp), as the response.
  const std::string not_started = Stop();
  EXPECT_TRUE(
      not_started.starts_with(R"({"ok":false,"message":"Failed to start the WireGuard command: )"))
      << not_started;
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Start(TunnelConfig()), not_started);
}

TEST_F(TunnelCommandsTest, StopWhenTheUninstallFailsOrNeverEnds) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  // What the stand-in is told, how long the stop waits, its response, and the tunnel service's
  // state after it.
  const std::tuple<const char*, DWORD, std::string, DWORD> cases[] = {
      {"uninstall-action = keep\r\nuninstall-exit = 1\r\n"
       "uninstall-output = The tunnel is in use.\r\n",
       kTunnelServiceWaitTimeoutMs,
       Failure(std::string(kUninstallFailed) + "\n\nThe tunnel is in use."), SERVICE_RUNNING},
      {"uninstall-exit = 1\r\n", kTunnelServiceWaitTimeoutMs, kNotRunning, 0},  // it was removed
      // WireGuard reports success but the tunnel service goes on running.
      {"uninstall-action = keep\r\n", 1000,
       Failure(std::string(kUninstallFailed) +
               "\n\nWireGuard tunnel service did not stop cleanly."),
       SERVICE_RUNNING},
  };
  for (const auto& [directives, wait_limit_ms, response, state_after] : cases) {
    ASSERT_TRUE(test_support::RemoveService(kTunnelServiceName));
    test_support::SetStandInDirectives(directives);
    ASSERT_EQ(Start(TunnelConfig()), kRunning);
    EXPECT_EQ(common::EncodeHelperResponse(StopTunnel({.wait_limit_ms = wait_limit_ms})), response);
    EXPECT_EQ(TunnelServiceState(), state_after);
  }
}

TEST_F(TunnelCommandsTest, StartTimesOutWhenTheServiceNeverRuns) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  const DWORD start = GetTickCount();
  test_support::SetStandInDirectives("start-delay-ms = 60000\r\n");
  EXPECT_EQ(Start(TunnelConfig()),
            Failure(std::string(kInstallFailed) +
                    "\n\nWireGuard tunnel service did not reach the running state."));
  // The product's limit is 15000 ms; well under twice that, also on a busy machine.
  EXPECT_GE(GetTickCount() - start, 15000u);
  EXPECT_LT(GetTickCount() - start, 25000u);
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_START_PENDING))
      << "the tunnel service stays installed, still starting";
}

}  // namespace
}  // namespace tunnel_helper
