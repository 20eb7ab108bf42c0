#include "tests/support/tunnel_machine.h"

#include <vector>

#include "common/file_bytes.h"
#include "common/windows_error.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/windows_service.h"

namespace test_support {
namespace {

std::wstring DirectivesBeside(const std::wstring& program) {
  return ParentOf(program) + L"\\standin-directives.txt";
}

std::vector<std::wstring> StandInLocations() {
  return {kWireGuardExe, kWireGuardExeX86, ProgramFolder() + L"\\wireguard.exe"};
}

void RemoveMachineState() {
  DeleteFileW(DirectivesBeside(ProgramFolder() + L"\\wireguard.exe").c_str());
  RemoveTree(kProductDataDirectory);
  for (const std::wstring& aside : Matching(kMovedAsidePattern)) RemoveTree(aside);
  RemoveTree(ParentOf(kWireGuardExe));
  RemoveTree(ParentOf(kWireGuardExeX86));
}

}  // namespace

std::string TunnelConfig(std::string_view extra) {
  return "[Interface]\r\n"
         "PrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\r\n"
         "Address = 10.8.0.2/32\r\n"
         "\r\n"
         "[Peer]\r\n"
         "PublicKey = xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=\r\n"
         "AllowedIPs = 0.0.0.0/0\r\n"
         "Endpoint = vpn.example.net:51820\r\n" +
         std::string(extra);
}

void SetStandInDirectives(std::string_view directives) {
  for (const std::wstring& program : StandInLocations()) {
    CreateFolders(ParentOf(program));
    EXPECT_TRUE(WriteFileBytes(DirectivesBeside(program), directives));
  }
}

::testing::AssertionResult PlaceWireGuardStandIn(const std::wstring& path) {
  CreateFolders(ParentOf(path));
  const std::wstring built = ProgramFolder() + L"\\wireguard.exe";
  if (!CopyFileW(built.c_str(), path.c_str(), FALSE)) {
    return ::testing::AssertionFailure()
           << "copying the stand-in: " << common::DescribeWindowsErrorKeepingBlanks(GetLastError());
  }
  return ::testing::AssertionSuccess();
}

std::string WireGuardRuns(const std::wstring& exe_path) {
  return common::ReadWholeFile(ParentOf(exe_path) + L"\\wireguard-runs.log").value_or("");
}

DWORD TunnelServiceState() { return QueryService(kTunnelServiceName).dwCurrentState; }

::testing::AssertionResult InstallTunnelWithBuiltStandIn(std::string_view config) {
  CreateFolders(kConfigDirectory);
  if (::testing::AssertionResult written = WriteFileBytes(kConfigPath, config); !written) {
    return written;
  }
  const ProcessRun install = RunProcess(ProgramFolder() + L"\\wireguard.exe" +
                                        L" /installtunnelservice \"" + kConfigPath + L"\"");
  if (install.exit_code != 0) {
    return ::testing::AssertionFailure() << "the stand-in's install failed: " << install.output;
  }
  if (WaitForService(kTunnelServiceName, 10000, [](const auto& s) {
        return s.dwCurrentState == SERVICE_RUNNING;
      }).dwCurrentState != SERVICE_RUNNING) {
    return ::testing::AssertionFailure() << "the tunnel service does not run";
  }
  return ::testing::AssertionSuccess();
}

void CleanMachineTest::SetUp() {
  ASSERT_TRUE(RemoveService(kTunnelServiceName));
  RemoveMachineState();
}

void CleanMachineTest::TearDown() {
  EXPECT_TRUE(RemoveService(kTunnelServiceName));
  RemoveMachineState();
}

}  // namespace test_support
