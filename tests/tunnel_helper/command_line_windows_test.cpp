#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "tests/support/windows_service.h"
#include "tests/tunnel_helper/command_line_cases.h"
#include "tests/tunnel_helper/tunnel_test_support.h"
#include "tunnel_helper/command_line.h"
#include "tunnel_helper/wireguard_runner.h"

namespace tunnel_helper {
namespace {

std::vector<std::wstring> ParseWithShell(const std::wstring& command_line) {
  int count = 0;
  const common::UniqueLocalMemory vector(CommandLineToArgvW(command_line.c_str(), &count));
  std::vector<std::wstring> arguments;
  if (!vector) {
    return arguments;
  }
  auto* const* items = static_cast<wchar_t**>(vector.get());
  for (int index = 1; index < count; ++index) {
    arguments.emplace_back(items[index]);
  }
  return arguments;
}

// Undoes argv_echo's encoding: one "[hex units]" line per argument.
std::vector<std::wstring> DecodeEcho(const std::string& output) {
  std::vector<std::wstring> arguments;
  std::size_t position = 0;
  while ((position = output.find('[', position)) != std::string::npos) {
    const std::size_t end = output.find(']', position);
    std::wstring argument;
    for (std::size_t unit = position + 1; unit + 4 <= end; unit += 4) {
      argument += static_cast<wchar_t>(std::stoul(output.substr(unit, 4), nullptr, 16));
    }
    arguments.push_back(std::move(argument));
    position = end;
  }
  return arguments;
}

TEST(QuoteCommandLineArgument, CommandLineToArgvWGivesEveryArgumentBack) {
  for (const std::wstring& argument : command_line_cases::AllArguments()) {
    const std::wstring line = BuildCommandLine(L"C:\\Program Files\\prog.exe", {argument});
    ASSERT_EQ(ParseWithShell(line), std::vector<std::wstring>{argument})
        << testing::PrintToString(line);
  }
  for (const std::vector<std::wstring>& arguments : command_line_cases::ArgumentLists()) {
    const std::wstring line = BuildCommandLine(L"C:\\Program Files\\prog.exe", arguments);
    ASSERT_EQ(ParseWithShell(line), arguments) << testing::PrintToString(line);
  }
}

TEST(QuoteCommandLineArgument, ChildProcessReceivesEveryArgumentUnchanged) {
  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  // All arguments in a few runs: each run is one real process start.
  const std::vector<std::wstring> all = command_line_cases::AllArguments();
  constexpr std::size_t kPerRun = 700;
  for (std::size_t first = 0; first < all.size(); first += kPerRun) {
    const std::vector<std::wstring> arguments(
        all.begin() + static_cast<std::ptrdiff_t>(first),
        all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), first + kPerRun)));
    const WireGuardRunResult run = RunWireGuardCommand(echo, arguments);
    ASSERT_TRUE(run.started) << run.text;
    EXPECT_EQ(run.exitCode, arguments.size());
    ASSERT_EQ(DecodeEcho(run.text), arguments);
  }
  for (const std::vector<std::wstring>& arguments : command_line_cases::ArgumentLists()) {
    const WireGuardRunResult run = RunWireGuardCommand(echo, arguments);
    ASSERT_TRUE(run.started) << run.text;
    ASSERT_EQ(DecodeEcho(run.text), arguments);
  }
}

}  // namespace
}  // namespace tunnel_helper
