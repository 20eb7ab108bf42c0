// The quoting against Windows' own parsing: CommandLineToArgvW and the C runtime of a real child.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "tests/support/all_strings.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tunnel_helper/command_line.h"

namespace tunnel_helper {
namespace {

// Every string of up to four characters over blank, tab, backslash, double quote and "a", and
// arguments with line feeds, vertical tabs and characters outside ASCII.
std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> arguments = test_support::AllStrings(L" \t\\\"a", 4);
  arguments.insert(arguments.end(), {L"line\nfeed", L"vertical\vtab", L"\u00e9t\u00e9 \u4e2d\\\"",
                                     L"\U0001F600 \\", L"\\\\server\\share\\with blank\\"});
  return arguments;
}

// argv_echo prints each argument as "[hex UTF-16 units]".
std::vector<std::wstring> DecodeEcho(const std::string& output) {
  std::vector<std::wstring> arguments;
  for (std::size_t at = 0; (at = output.find('[', at)) != std::string::npos;) {
    std::wstring& argument = arguments.emplace_back();
    for (++at; output[at] != ']'; at += 4)
      argument += static_cast<wchar_t>(std::stoul(output.substr(at, 4), nullptr, 16));
  }
  return arguments;
}

TEST(BuildCommandLine, WindowsGivesEveryArgumentBack) {
  const std::vector<std::wstring> all = Arguments();
  for (const std::wstring& argument : all) {
    const std::wstring line = BuildCommandLine(L"C:\\Program Files\\prog.exe", {argument});
    int count = 0;
    const common::UniqueLocalMemory parsed(CommandLineToArgvW(line.c_str(), &count));
    auto* const* items = static_cast<wchar_t**>(parsed.get());
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(std::vector<std::wstring>(items + 1, items + count), std::vector{argument})
        << testing::PrintToString(line);
  }
  // All of them at once, in pieces that fit a command line, through a real child process.
  const std::wstring echo = test_support::ProgramFolder() + L"\\argv_echo.exe";
  for (std::size_t first = 0; first < all.size(); first += 150) {
    const std::vector<std::wstring> arguments(
        all.begin() + static_cast<std::ptrdiff_t>(first),
        all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), first + 150)));
    const test_support::ProcessRun run =
        test_support::RunProcess(BuildCommandLine(echo, arguments));
    ASSERT_EQ(run.exit_code, arguments.size())
        << "started " << run.started << ", " << run.start_error;
    ASSERT_EQ(DecodeEcho(run.output), arguments);
  }
}

}  // namespace
}  // namespace tunnel_helper
