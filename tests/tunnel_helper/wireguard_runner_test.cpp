#include "tunnel_helper/wireguard_runner.h"

#include <gtest/gtest.h>

#include <string>

#include "common/windows_error.h"
#include "tests/support/windows_service.h"
#include "tests/tunnel_helper/tunnel_test_support.h"

namespace tunnel_helper {
namespace {

using tunnel_test::kWireGuardExe;
using tunnel_test::kWireGuardExeX86;

// A config for runs of the stand-in that never install anything: every one fails on purpose.
constexpr wchar_t kScratchFolder[] = L"C:\\runner-test";
constexpr wchar_t kScratchConfig[] = L"C:\\runner-test\\daviza.conf";

class WireGuardRunnerTest : public tunnel_test::CleanMachineTest {
 protected:
  void SetUp() override {
    CleanMachineTest::SetUp();
    tunnel_test::RemoveTree(kScratchFolder);
    ASSERT_TRUE(CreateDirectoryW(kScratchFolder, nullptr));
    ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
  }
  void TearDown() override {
    tunnel_test::RemoveTree(kScratchFolder);
    CleanMachineTest::TearDown();
  }

  WireGuardRunResult InstallWith(std::string_view directives) {
    EXPECT_TRUE(tunnel_test::WriteFileBytes(kScratchConfig, tunnel_test::TunnelConfig(directives)));
    return RunWireGuardCommand(kWireGuardExe, {L"/installtunnelservice", kScratchConfig});
  }
};

class FindWireGuardExeTest : public tunnel_test::CleanMachineTest {};

TEST_F(FindWireGuardExeTest, FirstExistingFileOfTheTwoLocations) {
  struct Case {
    const char* name;
    bool program_files;
    bool program_files_x86;
    bool directory_at_first;
    std::optional<std::wstring> found;
  };
  const Case cases[] = {
      {"neither", false, false, false, std::nullopt},
      {"only x86", false, true, false, kWireGuardExeX86},
      {"both", true, true, false, kWireGuardExe},
      {"first only", true, false, false, kWireGuardExe},
      {"directory at first, file at x86", false, true, true, kWireGuardExeX86},
      {"directory at first only", false, false, true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tunnel_test::RemoveWireGuardInstallations();
    if (c.program_files) {
      ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExe));
    }
    if (c.program_files_x86) {
      ASSERT_TRUE(tunnel_test::PlaceWireGuardStandIn(kWireGuardExeX86));
    }
    if (c.directory_at_first) {
      CreateDirectoryW(L"C:\\Program Files\\WireGuard", nullptr);
      ASSERT_TRUE(CreateDirectoryW(kWireGuardExe, nullptr));
    }
    EXPECT_EQ(FindWireGuardExe(), c.found);
  }
}

TEST_F(WireGuardRunnerTest, OneLineAndExitCodeOfAFailedRun) {
  const WireGuardRunResult install = InstallWith(
      "# standin: install-exit = 1\r\n"
      "# standin: install-output = Configuration rejected.\r\n");
  EXPECT_TRUE(install.started);
  EXPECT_EQ(install.exitCode, 1u);
  EXPECT_EQ(install.text, "Configuration rejected.");

  // Nothing installed: the stand-in's own failure, a line on standard error.
  const WireGuardRunResult uninstall =
      RunWireGuardCommand(kWireGuardExe, {L"/uninstalltunnelservice", L"daviza"});
  EXPECT_TRUE(uninstall.started);
  EXPECT_EQ(uninstall.exitCode, 1u);
  EXPECT_EQ(uninstall.text, "Tunnel \"daviza\" is not installed.");
}

TEST_F(WireGuardRunnerTest, OutputAndErrorShareOnePipeAndKeepInnerLineBreaks) {
  const WireGuardRunResult run = InstallWith(
      "# standin: install-exit = 4294967295\r\n"
      "# standin: install-output = first\tline \r\n"
      "# standin: install-output = caf\xc3\xa9\r\n"
      "# standin: install-error = on standard error\r\n");
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 4294967295u);
  // Raw bytes, no code-page conversion; only the final line break goes.
  EXPECT_EQ(run.text, "first\tline\r\ncaf\xc3\xa9\r\non standard error");
}

TEST_F(WireGuardRunnerTest, NothingPrintedGivesEmptyText) {
  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  const WireGuardRunResult run = RunWireGuardCommand(echo, {});
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.text, "");
}

TEST_F(WireGuardRunnerTest, OutputFarLargerThanThePipeIsReadWhileTheProgramRuns) {
  // About 1.1 MiB. A runner that waited for the exit before reading would leave the stand-in
  // blocked on a full pipe until it gives up with its own exit code 124.
  constexpr int kLines = 90000;
  const WireGuardRunResult run = InstallWith(
      "# standin: install-exit = 3\r\n"
      "# standin: install-output-lines = 90000\r\n");
  std::string expected;
  for (int line = 1; line <= kLines; ++line) {
    expected += "line " + std::to_string(line) + "\r\n";
  }
  expected.resize(expected.size() - 2);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_GT(run.text.size(), 1u << 20);
  EXPECT_TRUE(run.text == expected) << "got " << run.text.size() << " bytes, expected "
                                    << expected.size();
}

TEST_F(WireGuardRunnerTest, ProgramThatCannotStart) {
  ASSERT_TRUE(tunnel_test::PlaceBrokenWireGuard(kWireGuardExeX86));
  struct Case {
    const wchar_t* program;
    std::optional<DWORD> error;
  };
  const Case cases[] = {
      {L"C:\\runner-test\\missing.exe", ERROR_FILE_NOT_FOUND},
      {kWireGuardExeX86, std::nullopt},  // a text file: the loader's own reason
  };
  for (const Case& c : cases) {
    const WireGuardRunResult run = RunWireGuardCommand(c.program, {L"/uninstalltunnelservice"});
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(ERROR_GEN_FAILURE));
    const std::string prefix = "Failed to start the WireGuard command: ";
    ASSERT_EQ(run.text.rfind(prefix, 0), 0u) << run.text;
    EXPECT_GT(run.text.size(), prefix.size()) << run.text;
    if (c.error) {
      EXPECT_EQ(run.text, prefix + DescribeWindowsError(*c.error));
    }
  }
}

TEST_F(WireGuardRunnerTest, EveryHandleIsClosedOnEveryPath) {
  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  // Warm up whatever the first process start allocates for good.
  (void)RunWireGuardCommand(echo, {L"warm"});
  DWORD before = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
  for (int round = 0; round < 5; ++round) {
    (void)RunWireGuardCommand(echo, {L"x", L"y z"});
    (void)RunWireGuardCommand(L"C:\\runner-test\\missing.exe", {});
  }
  DWORD after = 0;
  ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace tunnel_helper
