// The app's splitting of its command line against Windows' own, CommandLineToArgvW, on every line
// of up to six characters over blank, tab, backslash, double quote, line feed and "a", after each
// kind of program name.
#include "app/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "tests/support/all_strings.h"

namespace {

std::vector<std::wstring> WindowsArguments(const std::wstring& line) {
  int count = 0;
  const common::UniqueLocalMemory parsed(CommandLineToArgvW(line.c_str(), &count));
  auto* const* items = static_cast<wchar_t**>(parsed.get());
  if (items == nullptr || count < 1) return {L"(failed)"};
  return std::vector<std::wstring>(items + 1, items + count);
}

TEST(CommandLineArguments, SplitsEveryLineAsWindowsDoes) {
  const std::vector<std::wstring> tails = test_support::AllStrings(L" \t\\\"\na", 6);
  const std::wstring programs[] = {L"zeq_vpn.exe", L"\"C:\\Program Files\\ZEQ VPN\\zeq_vpn.exe\"",
                                   L"\"C:\\open", L"a\"b c\"", L""};
  for (const std::wstring& program : programs) {
    for (const std::wstring& tail : tails) {
      const std::wstring line = program + tail;
      ASSERT_EQ(app::CommandLineArguments(line), WindowsArguments(line))
          << testing::PrintToString(line);
    }
  }
}

}  // namespace
