#include "tunnel_helper/tunnel_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/helper_protocol.h"
#include "common/windows_error.h"
#include "tests/tunnel_helper/tunnel_test_support.h"
#include "tunnel_helper/system_category_message.h"

namespace tunnel_helper {
namespace {

using tunnel_test::kConfigPath;
using tunnel_test::kProductDataDirectory;
using tunnel_test::kWireGuardExe;
using tunnel_test::kWireGuardExeX86;
using tunnel_test::QueryTunnelService;
using tunnel_test::ReadFileBytes;
using tunnel_test::TunnelConfig;
using tunnel_test::WireGuardRuns;
using Runs = std::vector<std::vector<std::string>>;

constexpr char kInstallFailed[] = "WireGuard couldn't install the tunnel.";
constexpr char kUninstallFailed[] = "WireGuard couldn't uninstall the tunnel.";
constexpr char kWireGuardMissing[] =
    "{\"ok\":false,\"message\":\"WireGuard for Windows is missing. Reinstall ZEQ VPN to restore "
    "the bundled WireGuard dependency and try again.\"}";
constexpr char kRunning[] = "{\"ok\":true,\"statusRaw\":3}";
constexpr char kNotRunning[] = "{\"ok\":true,\"statusRaw\":0}";

const std::vector<std::string> kUninstallRun = {"/uninstalltunnelservice", "daviza"};
const std::vector<std::string> kInstallRun = {"/installtunnelservice",
                                              "C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf"};

// The response as it goes on the pipe, so that ok, message and statusRaw are checked at once.
std::string Respond(std::string_view request) {
  return common::EncodeHelperResponse(RunTunnelCommand(request));
}
std::string Start(std::string_view config) {
  return Respond(common::EncodeHelperRequest("start", config));
}
std::string Stop() { return Respond(common::EncodeHelperRequest("stop")); }
std::string Status() { return Respond(common::EncodeHelperRequest("status")); }

std::string Failure(std::string_view message) {
  return common::EncodeHelperResponse(common::MakeFailureResponse(std::string(message)));
}

// A config of exactly `size` bytes: a working tunnel padded with a comment line.
std::string ConfigOfSize(std::size_t size) {
  std::string config = TunnelConfig("# ");
  config.append(size - config.size(), 'p');
  return config;
}

std::optional<DWORD> TunnelServiceState() {
  const std::optional<tunnel_test::TunnelServiceStatus> status = QueryTunnelService();
  return status ? std::optional<DWORD>(status->state) : std::nullopt;
}

class TunnelCommandsTest : public tunnel_test::CleanMachineTest {};

TEST_F(TunnelCommandsTest, RequestsRefusedBeforeTheMachineIsTouched) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  struct Case {
    std::string request;
    const char* message;
  };
  const Case cases[] = {
      {"", "Missing command for the tunnel helper."},
      {"{\"config\":\"[Interface]\"}", "Missing command for the tunnel helper."},
      {"{\"command\":5}", "Missing command for the tunnel helper."},
      {"{\"command\":\"stat", "Missing command for the tunnel helper."},
      {"{\"command\":\"START\"}", "Unsupported tunnel helper command."},
      {"{\"command\":\"Start\"}", "Unsupported tunnel helper command."},
      {"{\"command\":\"\"}", "Unsupported tunnel helper command."},
      {"{\"command\":\"status \"}", "Unsupported tunnel helper command."},
      {"{\"command\":\"st\\u0061rt\"}", "Unsupported tunnel helper command."},
      {"{\"command\":\"start\"}", "Missing WireGuard config for the tunnel helper."},
      {"{\"command\":\"start\",\"config\":\"\"}",
       "Missing WireGuard config for the tunnel helper."},
      {"{\"command\":\"start\",\"config\":7}", "Missing WireGuard config for the tunnel helper."},
      {common::EncodeHelperRequest("start", ConfigOfSize(65537)),
       "WireGuard config exceeded the maximum supported size."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Respond(c.request), Failure(c.message)) << c.request.substr(0, 60);
  }
  EXPECT_FALSE(tunnel_test::PathExists(kProductDataDirectory));
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), Runs{});
}

TEST_F(TunnelCommandsTest, CleanMachineIsNotRunningAndStopRunsNoWireGuard) {
  // Without WireGuard at all, then with it in place: stop neither looks for nor runs it.
  EXPECT_EQ(Status(), kNotRunning);
  EXPECT_EQ(Stop(), kNotRunning);
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  EXPECT_EQ(Stop(), kNotRunning);
  EXPECT_EQ(Respond("{\"command\":\"status\",\"config\":\"x\",\"extra\":{\"command\":\"stop\"}}"),
            kNotRunning);
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), Runs{});
}

TEST_F(TunnelCommandsTest, StartStatusStopEndToEnd) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const std::string config = TunnelConfig();

  EXPECT_EQ(Start(config), kRunning);
  EXPECT_EQ(ReadFileBytes(kConfigPath), config);
  EXPECT_FALSE(tunnel_test::PathExists(tunnel_test::kConfigTempPath));
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), (Runs{kUninstallRun, kInstallRun}));

  EXPECT_EQ(Status(), kRunning);

  EXPECT_EQ(Stop(), kNotRunning);
  EXPECT_EQ(TunnelServiceState(), std::nullopt);
  EXPECT_EQ(ReadFileBytes(kConfigPath), config) << "stop leaves the config in place";
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), (Runs{kUninstallRun, kInstallRun, kUninstallRun}));
  EXPECT_EQ(Status(), kNotRunning);
}

TEST_F(TunnelCommandsTest, StartFindsWireGuardAtTheX86Location) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExeX86));
  EXPECT_EQ(Start(TunnelConfig()), kRunning);
  EXPECT_EQ(WireGuardRuns(kWireGuardExeX86), (Runs{kUninstallRun, kInstallRun}));
}

TEST_F(TunnelCommandsTest, LargestConfigIsStoredByteForByte) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const std::string config = ConfigOfSize(65536);
  EXPECT_EQ(Start(config), kRunning);
  EXPECT_EQ(ReadFileBytes(kConfigPath), config);
}

TEST_F(TunnelCommandsTest, StartWithoutWireGuardStillStoresTheConfig) {
  const std::string config = TunnelConfig();
  EXPECT_EQ(Start(config), kWireGuardMissing);
  EXPECT_EQ(ReadFileBytes(kConfigPath), config);
}

TEST_F(TunnelCommandsTest, StartWhenTheConfigCannotBeStored) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  ASSERT_TRUE(tunnel_test::WriteFileBytes(kProductDataDirectory, "in the way"));
  EXPECT_EQ(Start(TunnelConfig()), Failure("Failed to prepare the WireGuard config directory: " +
                                           SystemCategoryMessage(ERROR_ALREADY_EXISTS)));
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), Runs{});
}

TEST_F(TunnelCommandsTest, InstallFailuresCarryWireGuardsOutput) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  struct Case {
    const char* name;
    std::string config;
    std::string message;
  };
  const Case cases[] = {
      {"one line",
       TunnelConfig("# standin: install-exit = 1\r\n"
                    "# standin: install-output = Unable to create network adapter.\r\n"),
       std::string(kInstallFailed) + "\n\nUnable to create network adapter."},
      {"no output", TunnelConfig("# standin: install-exit = 2\r\n"), kInstallFailed},
      {"output and error lines",
       TunnelConfig("# standin: install-exit = 1\r\n"
                    "# standin: install-output = first\r\n"
                    "# standin: install-output = second\r\n"
                    "# standin: install-error = third\r\n"),
       std::string(kInstallFailed) + "\n\nfirst\r\nsecond\r\nthird"},
      {"no [Interface] section", "PrivateKey = x\r\n",
       std::string(kInstallFailed) +
           "\n\nInvalid configuration: the [Interface] section is missing."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Start(c.config), Failure(c.message));
    EXPECT_EQ(ReadFileBytes(kConfigPath), c.config);
    EXPECT_EQ(TunnelServiceState(), std::nullopt);
  }
}

// More than a megabyte of output, read while WireGuard runs, reaches the app shortened to fit.
TEST_F(TunnelCommandsTest, OutputLongerThanAResponseIsShortened) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const std::string response =
      Start(TunnelConfig("# standin: install-exit = 1\r\n"
                         "# standin: install-output-lines = 90000\r\n"));
  EXPECT_LE(response.size(), common::kMaxHelperResponseBytes);
  const std::string head = std::string("{\"ok\":false,\"message\":\"") + kInstallFailed +
                           "\\n\\nline 1\\r\\nline 2\\r\\n";
  EXPECT_EQ(response.rfind(head, 0), 0u) << response.substr(0, 200);
  EXPECT_NE(response.find("\\n(The rest of WireGuard's output was left out.)\"}"),
            std::string::npos);
}

TEST_F(TunnelCommandsTest, ScriptCommandsAreRefusedAndNothingRuns) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const std::string earlier = TunnelConfig();
  ASSERT_EQ(Start(earlier), kRunning);
  const Runs runs_before = WireGuardRuns(kWireGuardExe);
  for (const char* hook : {"PreUp", "postup", "  PreDown", "POSTDOWN"}) {
    const std::string config = TunnelConfig(std::string(hook) + " = cmd /c calc\r\n");
    EXPECT_EQ(Start(config),
              Failure("WireGuard config contains script commands (PreUp, PostUp, PreDown or "
                      "PostDown), which ZEQ VPN does not accept."));
  }
  EXPECT_EQ(ReadFileBytes(kConfigPath), earlier);
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), runs_before);
}

// The error Windows gives for starting `program`, found by trying it here.
DWORD ErrorStarting(const wchar_t* program) {
  std::wstring command_line = L"wireguard.exe";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(program, command_line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                     nullptr, nullptr, &startup, &process)) {
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ERROR_SUCCESS;
  }
  return GetLastError();
}

TEST_F(TunnelCommandsTest, WireGuardThatCannotStart) {
  ASSERT_TRUE(tunnel_test::PlaceBrokenWireGuard(kWireGuardExe));
  const DWORD error = ErrorStarting(kWireGuardExe);
  ASSERT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  const std::string not_started =
      Failure("Failed to start the WireGuard command: " + DescribeWindowsError(error));
  const std::string config = TunnelConfig();
  EXPECT_EQ(Start(config), not_started);
  EXPECT_EQ(ReadFileBytes(kConfigPath), config);

  ASSERT_TRUE(tunnel_test::InstallTunnelWithBuiltStandIn(config));
  ASSERT_TRUE(tunnel_test::WaitUntilTunnelServiceRuns());
  EXPECT_EQ(Stop(), not_started);
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(TunnelCommandsTest, StopWithoutWireGuardWhileTheTunnelRuns) {
  ASSERT_TRUE(tunnel_test::InstallTunnelWithBuiltStandIn(TunnelConfig()));
  ASSERT_TRUE(tunnel_test::WaitUntilTunnelServiceRuns());
  EXPECT_EQ(Stop(), kWireGuardMissing);
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(TunnelCommandsTest, StartWhileATunnelRunsReplacesIt) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  ASSERT_EQ(Start(TunnelConfig("# first\r\n")), kRunning);
  const std::optional<tunnel_test::TunnelServiceStatus> first = QueryTunnelService();
  ASSERT_TRUE(first.has_value());

  const std::string second_config = TunnelConfig("# second\r\n");
  EXPECT_EQ(Start(second_config), kRunning);
  EXPECT_EQ(ReadFileBytes(kConfigPath), second_config);
  const std::optional<tunnel_test::TunnelServiceStatus> second = QueryTunnelService();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_NE(second->processId, first->processId) << "a new tunnel service process";
  EXPECT_EQ(WireGuardRuns(kWireGuardExe),
            (Runs{kUninstallRun, kInstallRun, kUninstallRun, kInstallRun}));
}

TEST_F(TunnelCommandsTest, StartTimesOutWhenTheServiceNeverRuns) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const DWORD start = GetTickCount();
  EXPECT_EQ(Start(TunnelConfig("# standin: start-delay-ms = 60000\r\n")),
            Failure(std::string(kInstallFailed) +
                    "\n\nWireGuard tunnel service did not reach the running state."));
  const DWORD elapsed = GetTickCount() - start;
  // The product's limit, 15000 ms, plus at most a pause and a query or so.
  EXPECT_GE(elapsed, 15000u);
  EXPECT_LT(elapsed, 17000u);
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_START_PENDING))
      << "the tunnel service stays installed";
}

TEST_F(TunnelCommandsTest, StopWhenTheUninstallFails) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  struct Case {
    const char* name;
    const char* directives;
    std::string response;
    std::optional<DWORD> state_after;
  };
  const Case cases[] = {
      {"fails, tunnel still runs",
       "# standin: uninstall-action = keep\r\n"
       "# standin: uninstall-exit = 1\r\n"
       "# standin: uninstall-output = The tunnel is in use.\r\n",
       Failure(std::string(kUninstallFailed) + "\n\nThe tunnel is in use."), SERVICE_RUNNING},
      {"fails silently, tunnel still runs",
       "# standin: uninstall-action = keep\r\n"
       "# standin: uninstall-exit = 5\r\n",
       Failure(kUninstallFailed), SERVICE_RUNNING},
      {"fails after removing the tunnel",
       "# standin: uninstall-exit = 1\r\n"
       "# standin: uninstall-output = Removal reported an error.\r\n",
       kNotRunning, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(tunnel_test::RemoveTunnelService());
    ASSERT_EQ(Start(TunnelConfig(c.directives)), kRunning);
    EXPECT_EQ(Stop(), c.response);
    EXPECT_EQ(TunnelServiceState(), c.state_after);
  }
}

TEST_F(TunnelCommandsTest, StopTimesOutWhenTheServiceKeepsRunning) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  // WireGuard reports success but the tunnel service goes on running.
  ASSERT_EQ(Start(TunnelConfig("# standin: uninstall-action = keep\r\n")), kRunning);
  TunnelCommandOptions options;
  options.wait_limit_ms = 1000;
  const DWORD start = GetTickCount();
  EXPECT_EQ(common::EncodeHelperResponse(StopTunnel(options)),
            Failure(std::string(kUninstallFailed) +
                    "\n\nWireGuard tunnel service did not stop cleanly."));
  EXPECT_GE(GetTickCount() - start, 1000u);
  EXPECT_EQ(TunnelServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
}

// The service control manager cannot be made to fail a query here, so these substitute one.
TEST_F(TunnelCommandsTest, FailedStateQueriesAreReportedAsTheyCame) {
  ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  const std::string query_error = "Failed to open the Windows service manager: Access denied.";
  TunnelCommandOptions failing;
  failing.query_state = [&](std::string& error) {
    error = query_error;
    return kTunnelStateNotRunning;
  };
  EXPECT_EQ(common::EncodeHelperResponse(GetTunnelStatus(failing)), Failure(query_error));
  EXPECT_EQ(common::EncodeHelperResponse(StopTunnel(failing)), Failure(query_error));
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), Runs{});

  // The tunnel runs and WireGuard fails to remove it; the query after the failure fails.
  ASSERT_EQ(Start(TunnelConfig("# standin: uninstall-action = keep\r\n"
                               "# standin: uninstall-exit = 1\r\n")),
            kRunning);
  int queries = 0;
  TunnelCommandOptions second_fails;
  second_fails.query_state = [&](std::string& error) {
    if (++queries == 1) {
      return QueryTunnelServiceState(error);
    }
    error = query_error;
    return kTunnelStateNotRunning;
  };
  EXPECT_EQ(common::EncodeHelperResponse(StopTunnel(second_fails)), Failure(query_error));
  EXPECT_EQ(queries, 2);
  EXPECT_EQ(WireGuardRuns(kWireGuardExe), (Runs{kUninstallRun, kInstallRun, kUninstallRun}));
}

}  // namespace
}  // namespace tunnel_helper
