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

namespace {

std::vector<std::wstring> WindowsArguments(const std::wstring& line) {
  int count = 0;
  const common::UniqueLocalMemory parsed(CommandLineToArgvW(line.c_str(), &count));
  auto* const* items = static_cast<wchar_t**>(parsed.get());
  if (items == nullptr || count < 1) return {L"(failed)"};
  return std::vector<std::wstring>(items + 1, items + count);
}

TEST(CommandLineArguments, SplitsEveryLineAsWindowsDoes) {
  std::vector<std::wstring> tails = {L""};
  for (std::size_t first = 0, length = 1; length <= 6; ++length) {
    const std::size_t end = tails.size();
    for (std::size_t i = first; i < end; ++i) {
      for (const wchar_t c : std::wstring(L" \t\\\"\na")) tails.push_back(tails[i] + c);
    }
    first = end;
  }
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
