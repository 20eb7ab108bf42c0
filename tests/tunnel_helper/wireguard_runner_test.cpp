#include "tunnel_helper/wireguard_runner.h"

#include <gtest/gtest.h>

#include <string>

#include "common/windows_error.h"
#include "tests/support/files.h"
#include "tests/support/tunnel_machine.h"

namespace tunnel_helper {
namespace {

using test_support::kWireGuardExe;
using test_support::kWireGuardExeX86;

class WireGuardRunnerTest : public test_support::CleanMachineTest {};

TEST_F(WireGuardRunnerTest, FindsTheFirstFileOfTheTwoLocations) {
  const struct {
    bool program_files;
    bool program_files_x86;
    bool folder_at_first;
    std::optional<std::wstring> found;
  } cases[] = {
      {false, false, false, std::nullopt},
      {true, true, false, kWireGuardExe},
      {false, true, true, kWireGuardExeX86},  // a folder named wireguard.exe is passed over
      {false, false, true, std::nullopt},
  };
  for (const auto& c : cases) {
    test_support::CleanMachineTest::SetUp();
    if (c.program_files) {
      ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
    }
    if (c.program_files_x86) {
      ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExeX86));
    }
    if (c.folder_at_first) test_support::CreateFolders(kWireGuardExe);
    EXPECT_EQ(FindWireGuardExe(), c.found);
  }
}

// Standard output and standard error share one pipe, bytes as written; only the final line break
// goes.
TEST_F(WireGuardRunnerTest, OutputErrorAndExitCodeOfARun) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(kWireGuardExe));
  const std::wstring config = L"C:\\ProgramData\\runner.conf";
  ASSERT_TRUE(test_support::WriteFileBytes(config, test_support::TunnelConfig()));
  test_support::SetStandInDirectives(
      "install-exit = 4294967295\r\n"
      "install-output = first\tline \r\n"
      "install-output = caf\xc3\xa9\r\n"
      "install-error = on standard error\r\n");
  const WireGuardRunResult run =
      RunWireGuardCommand(kWireGuardExe, {L"/installtunnelservice", config});
  DeleteFileW(config.c_str());
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 4294967295u);
  EXPECT_EQ(run.text, "first\tline\r\ncaf\xc3\xa9\r\non standard error");

  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  const WireGuardRunResult quiet = RunWireGuardCommand(echo, {});
  EXPECT_TRUE(quiet.started);
  EXPECT_EQ(quiet.exitCode, 0u);
  EXPECT_EQ(quiet.text, "");
}

TEST_F(WireGuardRunnerTest, AProgramThatCannotStartAndEveryHandleClosed) {
  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  static_cast<void>(RunWireGuardCommand(echo, {L"warm"}));  // What a first start keeps for good.
  DWORD before = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
  for (int round = 0; round < 5; ++round) {
    static_cast<void>(RunWireGuardCommand(echo, {L"x", L"y z"}));
    const WireGuardRunResult missing = RunWireGuardCommand(L"C:\\ProgramData\\missing.exe", {});
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.exitCode, static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(missing.text, "Failed to start the WireGuard command: " +
                                common::DescribeWindowsError(ERROR_FILE_NOT_FOUND));
  }
  DWORD after = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace tunnel_helper
