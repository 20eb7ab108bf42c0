#include "tests/tunnel_helper/tunnel_test_support.h"

#include "common/file_bytes.h"
#include "common/windows_error.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/windows_service.h"

namespace tunnel_test {
namespace {

std::wstring DirectivesBeside(const std::wstring& program) {
  return test_support::ParentOf(program) + L"\\standin-directives.txt";
}

std::vector<std::wstring> StandInLocations() {
  return {kWireGuardExe, kWireGuardExeX86, test_support::ProgramFolder() + L"\\wireguard.exe"};
}

void RemoveMachineState() {
  DeleteFileW(DirectivesBeside(test_support::ProgramFolder() + L"\\wireguard.exe").c_str());
  test_support::RemoveTree(kProductDataDirectory);
  for (const std::wstring& aside : test_support::Matching(kMovedAsidePattern)) {
    test_support::RemoveTree(aside);
  }
  test_support::RemoveTree(test_support::ParentOf(kWireGuardExe));
  test_support::RemoveTree(test_support::ParentOf(kWireGuardExeX86));
}

}  // namespace

std::string TunnelConfig(std::string_view extra) {
  std::string config =
      "[Interface]\r\n"
      "PrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\r\n"
      "Address = 10.8.0.2/32\r\n"
      "\r\n"
      "[Peer]\r\n"
      "PublicKey = xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=\r\n"
      "AllowedIPs = 0.0.0.0/0\r\n"
      "Endpoint = vpn.example.net:51820\r\n";
  config += extra;
  return config;
}

void SetStandInDirectives(std::string_view directives) {
  for (const std::wstring& program : StandInLocations()) {
    test_support::CreateFolders(test_support::ParentOf(program));
    EXPECT_TRUE(test_support::WriteFileBytes(DirectivesBeside(program), directives));
  }
}

::testing::AssertionResult PlaceWireGuardStandIn(const std::wstring& path) {
  test_support::CreateFolders(test_support::ParentOf(path));
  const std::wstring built = test_support::ProgramFolder() + L"\\wireguard.exe";
  if (!CopyFileW(built.c_str(), path.c_str(), FALSE)) {
    return ::testing::AssertionFailure()
           << "copying the stand-in: " << common::DescribeWindowsErrorKeepingBlanks(GetLastError());
  }
  return ::testing::AssertionSuccess();
}

std::vector<std::vector<std::string>> WireGuardRuns(const std::wstring& exe_path) {
  // One line per run, its arguments separated by tabs.
  const std::string log =
      common::ReadWholeFile(test_support::ParentOf(exe_path) + L"\\wireguard-runs.log")
          .value_or("");
  std::vector<std::vector<std::string>> runs;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = std::min(log.find("\r\n", start), log.size());
    std::vector<std::string>& run = runs.emplace_back();
    for (std::size_t field = start;;) {
      const std::size_t tab = std::min(log.find('\t', field), end);
      run.push_back(log.substr(field, tab - field));
      if (tab == end) break;
      field = tab + 1;
    }
    start = end + 2;
  }
  return runs;
}

DWORD TunnelServiceState() { return test_support::QueryService(kTunnelServiceName).dwCurrentState; }

::testing::AssertionResult InstallTunnelWithBuiltStandIn(std::string_view config,
                                                         bool wait_until_running) {
  test_support::CreateFolders(kConfigDirectory);
  if (::testing::AssertionResult written = test_support::WriteFileBytes(kConfigPath, config);
      !written) {
    return written;
  }
  const test_support::ProcessRun install =
      test_support::RunProcess(test_support::ProgramFolder() + L"\\wireguard.exe" +
                               L" /installtunnelservice \"" + kConfigPath + L"\"");
  if (!install.finished || install.exit_code != 0) {
    return ::testing::AssertionFailure() << "the stand-in's install failed: " << install.output;
  }
  if (wait_until_running &&
      test_support::WaitForService(kTunnelServiceName, 10000, [](const auto& s) {
        return s.dwCurrentState == SERVICE_RUNNING;
      }).dwCurrentState != SERVICE_RUNNING) {
    return ::testing::AssertionFailure() << "the tunnel service does not run";
  }
  return ::testing::AssertionSuccess();
}

void CleanMachineTest::SetUp() {
  ASSERT_EQ(test_support::RemoveService(kTunnelServiceName), "");
  RemoveMachineState();
  ASSERT_FALSE(test_support::PathExists(kProductDataDirectory));
  ASSERT_FALSE(test_support::PathExists(kWireGuardExe));
}

void CleanMachineTest::TearDown() {
  EXPECT_EQ(test_support::RemoveService(kTunnelServiceName), "");
  RemoveMachineState();
}

}  // namespace tunnel_test
