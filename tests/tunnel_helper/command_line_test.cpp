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
      {L"C:\\dir\\", L"C:\\dir\\"},  // backslashes stay single where no quote follows
      {L"C:\\Program Files\\WireGuard\\wireguard.exe",
       L"\"C:\\Program Files\\WireGuard\\wireguard.exe\""},
      {L"C:\\with blank\\", L"\"C:\\with blank\\\\\""},  // doubled before the closing quote
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"a\\\"b", L"\"a\\\\\\\"b\""},  // 2n + 1 backslashes, then the quote
      {L"tab\there", L"\"tab\there\""},
      {L"line\nfeed", L"\"line\nfeed\""},
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
