// The machine as the tunnel tests arrange it: the WireGuard stand-in in its place, the tunnel
// service, the config folder. Paths are written out here rather than taken from the product, so
// that a wrong product path fails a test. Tests that touch these share the one tunnel service and
// folders, and must not run at the same time (ctest's RESOURCE_LOCK wireguard_tunnel_service).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace test_support {

inline constexpr wchar_t kTunnelServiceName[] = L"WireGuardTunnel$daviza";
inline constexpr wchar_t kProductDataDirectory[] = L"C:\\ProgramData\\ZEQ VPN";
// Where the store puts a folder or file that stood in place of its own folder.
inline constexpr wchar_t kMovedAsidePattern[] = L"C:\\ProgramData\\ZEQ VPN.moved-aside-*";
inline constexpr wchar_t kConfigDirectory[] = L"C:\\ProgramData\\ZEQ VPN\\wireguard";
inline constexpr wchar_t kConfigPath[] = L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf";
inline constexpr wchar_t kConfigTempPath[] =
    L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf.tmp";
inline constexpr char kWireGuardMissing[] =
    "WireGuard for Windows is missing. Reinstall ZEQ VPN to restore the bundled WireGuard "
    "dependency and try again.";
inline constexpr wchar_t kWireGuardExe[] = L"C:\\Program Files\\WireGuard\\wireguard.exe";
inline constexpr wchar_t kWireGuardExeX86[] = L"C:\\Program Files (x86)\\WireGuard\\wireguard.exe";

// A config the stand-in installs as a working tunnel, with CR LF line ends; `extra` follows at the
// end.
std::string TunnelConfig(std::string_view extra = {});

// Tells every stand-in the tests run how to behave: `directives` are lines such as
// "install-exit = 1" (see standins/wireguard/directives.h).
void SetStandInDirectives(std::string_view directives);

// Copies the stand-in built beside the test program to `path`.
::testing::AssertionResult PlaceWireGuardStandIn(const std::wstring& path);

// The runs of the stand-in at `exe_path` so far as it logs them: a line (ended by CR LF) per run,
// its arguments separated by tabs.
std::string WireGuardRuns(const std::wstring& exe_path);

// The tunnel service's state; 0 when it does not exist.
DWORD TunnelServiceState();

// Writes `config` to the config file and installs the tunnel with the stand-in built beside the
// test program (which stays the service's program), then waits until the service runs.
::testing::AssertionResult InstallTunnelWithBuiltStandIn(std::string_view config);

// Every test starts on a clean machine and leaves one: no tunnel service, no config folder, no
// WireGuard in either place, also when it fails.
class CleanMachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace test_support
