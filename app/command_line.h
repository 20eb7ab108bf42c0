// Splitting the app's command line. Platform-free, so it is also built and fuzzed natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The arguments after the program name on a Windows command line, split by the rules of
// CommandLineToArgvW: blanks and tabs separate arguments outside double quotes; 2n backslashes
// before a double quote stand for n and the quote opens or closes a quoted part, 2n+1 for n and a
// literal quote; other backslashes are literal. The program name ends at its closing quote when it
// starts with one, else at the first blank or tab.
[[nodiscard]] std::vector<std::wstring> CommandLineArguments(std::wstring_view line);

}  // namespace app
