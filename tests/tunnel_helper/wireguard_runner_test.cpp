#include "tunnel_helper/wireguard_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/windows_error.h"
#include "tests/support/files.h"
#include "tests/support/tunnel_machine.h"

namespace tunnel_helper {
namespace {

using test_support::kWireGuardExe;
using test_support::kWireGuardExeX86;

class WireGuardRunnerTest : public test_support::CleanMachineTest {};

TEST_F(WireGuardRunnerTest, FindsTheFirstFileOfTheTwoLocations) {
  // Where the stand-in is placed, whether a folder named wireguard.exe stands in the first
  // location, and what is found.
  const std::tuple<std::vector<const wchar_t*>, bool, std::optional<std::wstring>> cases[] = {
      {{}, false, std::nullopt},
      {{kWireGuardExe, kWireGuardExeX86}, false, kWireGuardExe},
      {{kWireGuardExeX86}, true, kWireGuardExeX86},  // the folder is passed over
      {{}, true, std::nullopt},
  };
  for (const auto& [placed, folder_at_first, found] : cases) {
    test_support::CleanMachineTest::SetUp();
    for (const wchar_t* path : placed) ASSERT_TRUE(test_support::PlaceWireGuardStandIn(path));
    if (folder_at_first) test_support::CreateFolders(kWireGuardExe);
    EXPECT_EQ(FindWireGuardExe(), found);
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
  EXPECT_EQ(std::tuple(run.started, run.exitCode, run.text),
            std::tuple(true, 4294967295ul, "first\tline\r\ncaf\xc3\xa9\r\non standard error"));
}

// Nothing stays open, whether the program runs (here one that writes nothing) or cannot start.
TEST_F(WireGuardRunnerTest, AProgramThatCannotStartAndEveryHandleClosed) {
  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  static_cast<void>(RunWireGuardCommand(echo, {L"warm"}));  // What a first start keeps for good.
  DWORD before = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
  for (int round = 0; round < 5; ++round) {
    const WireGuardRunResult quiet = RunWireGuardCommand(echo, {});
    EXPECT_EQ(std::tuple(quiet.started, quiet.exitCode, quiet.text), std::tuple(true, 0ul, ""));
    const WireGuardRunResult missing = RunWireGuardCommand(L"C:\\ProgramData\\missing.exe", {});
    EXPECT_EQ(std::tuple(missing.started, missing.exitCode, missing.text),
              std::tuple(false, DWORD{ERROR_GEN_FAILURE},
                         "Failed to start the WireGuard command: " +
                             common::DescribeWindowsError(ERROR_FILE_NOT_FOUND)));
  }
  DWORD after = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace tunnel_helper
