// Helpers for tests that drive the tunnel operations against the WireGuard stand-in in the Wine
// prefix's real service control manager and file system. The paths are written out here rather
// than taken from the product, so that a wrong product path fails a test.
//
// Tests that touch the tunnel service must not run in parallel with each other: they share the
// one service name, the config folder and the stand-in's locations.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunnel_test {

inline constexpr wchar_t kTunnelServiceName[] = L"WireGuardTunnel$daviza";
inline constexpr wchar_t kProductDataDirectory[] = L"C:\\ProgramData\\ZEQ VPN";
inline constexpr wchar_t kConfigDirectory[] = L"C:\\ProgramData\\ZEQ VPN\\wireguard";
inline constexpr wchar_t kConfigPath[] = L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf";
inline constexpr wchar_t kConfigTempPath[] =
    L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf.tmp";
inline constexpr wchar_t kWireGuardExe[] = L"C:\\Program Files\\WireGuard\\wireguard.exe";
inline constexpr wchar_t kWireGuardExeX86[] =
    L"C:\\Program Files (x86)\\WireGuard\\wireguard.exe";

// A config the stand-in installs as a working tunnel, CR LF line endings as WireGuard writes
// them. `directives` (lines such as "# standin: install-exit = 1") are added at the end; see
// standins/wireguard/directives.h.
std::string TunnelConfig(std::string_view directives = {});

// Copies the stand-in built beside the test program to `path` (one of the two WireGuard
// locations), creating the folders on the way.
::testing::AssertionResult PlaceWireGuardStandIn(const wchar_t* path);

// Puts something that is not a program at `path`, so that WireGuard is found but cannot start.
::testing::AssertionResult PlaceBrokenWireGuard(const wchar_t* path);

// Removes both WireGuard locations with everything in them (stand-ins and their run logs).
void RemoveWireGuardInstallations();

// The runs of the stand-in at `exe_path` so far, each the list of its arguments.
std::vector<std::vector<std::string>> WireGuardRuns(const wchar_t* exe_path);

struct TunnelServiceStatus {
  DWORD state = 0;
  DWORD processId = 0;
};

// The tunnel service's status, or nothing when it does not exist.
std::optional<TunnelServiceStatus> QueryTunnelService();

// Stops and deletes the tunnel service if it exists, killing its process when it does not stop
// in time, and waits (bounded) until the manager no longer knows it.
::testing::AssertionResult RemoveTunnelService();

// Writes `config` to the config file (creating its folders) and installs the tunnel by running the
// stand-in built beside the test program, which stays the tunnel service's program. So the
// WireGuard locations stay as the test arranges them.
::testing::AssertionResult InstallTunnelWithBuiltStandIn(std::string_view config);

// Waits (bounded) until the tunnel service exists and is RUNNING.
::testing::AssertionResult WaitUntilTunnelServiceRuns(DWORD limit_ms = 10000);

std::optional<std::string> ReadFileBytes(const wchar_t* path);
::testing::AssertionResult WriteFileBytes(const wchar_t* path, std::string_view bytes);
bool PathExists(const wchar_t* path);

// Deletes `path` and everything below it. Links are removed, never followed.
void RemoveTree(const std::wstring& path);

// Makes `link` a Unix symbolic link to the directory `target` (both Windows paths in the prefix).
// Windows programs cannot create links under Wine, so this runs /bin/ln; Wine shows the link as a
// directory reparse point.
::testing::AssertionResult PlantDirectoryLink(const wchar_t* link, const wchar_t* target);

// Removes the tunnel service, the config folder and both WireGuard locations before and after
// each test, so that every test starts on a clean machine and leaves one behind, also when it
// fails.
class CleanMachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace tunnel_test
