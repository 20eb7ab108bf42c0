#include "tunnel_helper/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunnel_helper {
namespace {

TEST(QuoteCommandLineArgument, QuotesOnlyWhatNeedsIt) {
  struct Case {
    std::wstring argument;
    std::wstring quoted;
  };
  const Case cases[] = {
      {L"", L"\"\""},
      {L"daviza", L"daviza"},
      // Backslashes stay single where no quote follows, quoted or not.
      {L"C:\\dir\\", L"C:\\dir\\"},
      {L"C:\\Program Files\\WireGuard\\wireguard.exe",
       L"\"C:\\Program Files\\WireGuard\\wireguard.exe\""},
      // A trailing backslash is doubled before the closing quote.
      {L"C:\\with blank\\", L"\"C:\\with blank\\\\\""},
      {L"ends in two\\\\", L"\"ends in two\\\\\\\\\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      // Backslashes before a quote: 2n + 1 of them, then the quote.
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
      {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
      {L"tab\there", L"\"tab\there\""},
      {L"line\nfeed", L"\"line\nfeed\""},
      {L"\u00e9t\u00e9 \u4e2d", L"\"\u00e9t\u00e9 \u4e2d\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuoteCommandLineArgument(c.argument), c.quoted);
  }
}

TEST(BuildCommandLine, QuotedProgramThenArgumentsAfterSingleBlanks) {
  EXPECT_EQ(BuildCommandLine(
                L"C:\\Program Files\\WireGuard\\wireguard.exe",
                {L"/installtunnelservice", L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf"}),
            L"\"C:\\Program Files\\WireGuard\\wireguard.exe\" /installtunnelservice "
            L"\"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf\"");
  EXPECT_EQ(BuildCommandLine(L"C:\\Program Files\\WireGuard\\wireguard.exe",
                             {L"/uninstalltunnelservice", L"daviza"}),
            L"\"C:\\Program Files\\WireGuard\\wireguard.exe\" /uninstalltunnelservice daviza");
  EXPECT_EQ(BuildCommandLine(L"C:\\tools\\prog.exe", {}), L"C:\\tools\\prog.exe");
  EXPECT_EQ(BuildCommandLine(L"C:\\tools\\prog.exe", {L"", L"x"}), L"C:\\tools\\prog.exe \"\" x");
}

}  // namespace
}  // namespace tunnel_helper
