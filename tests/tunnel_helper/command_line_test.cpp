#include "tunnel_helper/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tunnel_helper/command_line_cases.h"

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
      {L"/installtunnelservice", L"/installtunnelservice"},
      // Backslashes stay single where no quote follows, quoted or not.
      {L"C:\\dir\\", L"C:\\dir\\"},
      {L"a\\\\b", L"a\\\\b"},
      {L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf",
       L"\"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf\""},
      {L"C:\\Program Files\\WireGuard\\wireguard.exe",
       L"\"C:\\Program Files\\WireGuard\\wireguard.exe\""},
      // A trailing backslash is doubled before the closing quote.
      {L"C:\\with blank\\", L"\"C:\\with blank\\\\\""},
      {L"ends in two\\\\", L"\"ends in two\\\\\\\\\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"\"", L"\"\\\"\""},
      // Backslashes before a quote: 2n + 1 of them, then the quote.
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
      {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
      {L"tab\there", L"\"tab\there\""},
      {L"line\nfeed", L"\"line\nfeed\""},
      {L"vertical\vtab", L"\"vertical\vtab\""},
      {L"\u00e9t\u00e9 \u4e2d", L"\"\u00e9t\u00e9 \u4e2d\""},
      {L"\u00e9t\u00e9", L"\u00e9t\u00e9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuoteCommandLineArgument(c.argument), c.quoted);
  }
}

TEST(BuildCommandLine, QuotedProgramThenArgumentsAfterSingleBlanks) {
  EXPECT_EQ(BuildCommandLine(L"C:\\Program Files\\WireGuard\\wireguard.exe",
                             {L"/installtunnelservice",
                              L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf"}),
            L"\"C:\\Program Files\\WireGuard\\wireguard.exe\" /installtunnelservice "
            L"\"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf\"");
  EXPECT_EQ(BuildCommandLine(L"C:\\Program Files\\WireGuard\\wireguard.exe",
                             {L"/uninstalltunnelservice", L"daviza"}),
            L"\"C:\\Program Files\\WireGuard\\wireguard.exe\" /uninstalltunnelservice daviza");
  EXPECT_EQ(BuildCommandLine(L"C:\\tools\\prog.exe", {}), L"C:\\tools\\prog.exe");
  EXPECT_EQ(BuildCommandLine(L"C:\\tools\\prog.exe", {L"", L"x"}), L"C:\\tools\\prog.exe \"\" x");
}

// The documented rules by which the C runtime splits the arguments after the program name:
// blanks and tabs separate; quotes group; 2n backslashes before a quote give n and the quote
// groups, 2n + 1 give n and a literal quote; other backslashes are literal.
std::vector<std::wstring> ParseArguments(std::wstring_view text) {
  std::vector<std::wstring> arguments;
  std::size_t position = 0;
  for (;;) {
    while (position < text.size() && (text[position] == L' ' || text[position] == L'\t')) {
      ++position;
    }
    if (position == text.size()) {
      return arguments;
    }
    std::wstring argument;
    bool quoted = false;
    while (position < text.size()) {
      const wchar_t character = text[position];
      if (!quoted && (character == L' ' || character == L'\t')) {
        break;
      }
      if (character == L'\\') {
        std::size_t backslashes = 0;
        while (position < text.size() && text[position] == L'\\') {
          ++backslashes;
          ++position;
        }
        if (position < text.size() && text[position] == L'"') {
          argument.append(backslashes / 2, L'\\');
          if (backslashes % 2 == 1) {
            argument += L'"';
            ++position;
          }
        } else {
          argument.append(backslashes, L'\\');
        }
        continue;
      }
      if (character == L'"') {
        quoted = !quoted;
      } else {
        argument += character;
      }
      ++position;
    }
    arguments.push_back(std::move(argument));
  }
}

TEST(QuoteCommandLineArgument, EveryArgumentParsesBackUnchanged) {
  for (const std::wstring& argument : command_line_cases::AllArguments()) {
    const std::vector<std::wstring> parsed = ParseArguments(QuoteCommandLineArgument(argument));
    ASSERT_EQ(parsed, std::vector<std::wstring>{argument})
        << "quoted: " << testing::PrintToString(QuoteCommandLineArgument(argument));
  }
}

TEST(BuildCommandLine, ArgumentListsParseBackUnchanged) {
  for (const std::vector<std::wstring>& arguments : command_line_cases::ArgumentLists()) {
    // A program name without blanks or quotes parses as itself under these rules too.
    const std::wstring line = BuildCommandLine(L"prog.exe", arguments);
    std::vector<std::wstring> parsed = ParseArguments(line);
    ASSERT_FALSE(parsed.empty());
    EXPECT_EQ(parsed.front(), L"prog.exe");
    parsed.erase(parsed.begin());
    ASSERT_EQ(parsed, arguments) << testing::PrintToString(line);
  }
}

}  // namespace
}  // namespace tunnel_helper
