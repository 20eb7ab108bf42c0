#include "tunnel_helper/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace tunnel_helper {
namespace {

// How Windows reads the result back is tested in command_line_windows_test.cpp.
TEST(QuoteCommandLineArgument, QuotesOnlyWhatNeedsIt) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"", L"\"\""},
      {L"daviza", L"daviza"},
      {L"C:\\dir\\", L"C:\\dir\\"},  // backslashes stay single where no quote follows
      {L"C:\\Program Files\\WireGuard\\wireguard.exe",
       L"\"C:\\Program Files\\WireGuard\\wireguard.exe\""},
      {L"C:\\with blank\\", L"\"C:\\with blank\\\\\""},  // doubled before the closing quote
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"a\\\"b", L"\"a\\\\\\\"b\""},  // 2n + 1 backslashes, then the quote
      {L"tab\there", L"\"tab\there\""},
      {L"line\nfeed", L"\"line\nfeed\""},
  };
  for (const auto& [argument, quoted] : cases)
    EXPECT_EQ(QuoteCommandLineArgument(argument), quoted);
}

}  // namespace
}  // namespace tunnel_helper
