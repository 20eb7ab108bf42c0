// Windows error codes as UTF-8 text for English messages ("<prefix>: <system text>").
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace common {

// UTF-16 to UTF-8; an empty string when the input is empty or cannot be converted.
std::string WideToUtf8(std::wstring_view text);

enum class ErrorTextTrim {
  kTrailingSpace,       // Carriage returns, line feeds and every other trailing blank.
  kTrailingLineBreaks,  // Carriage returns and line feeds only.
};

// Removes what `trim` names from the end of a system text. Exposed for tests: the system rarely
// hands out a text that ends in blanks.
std::wstring TrimErrorText(std::wstring text, ErrorTextTrim trim);

// "Windows error <code>", the code in unsigned decimal.
std::string WindowsErrorFallbackText(DWORD code);

}  // namespace common

// The service's and the app's texts differ in two points: the app keeps trailing blanks, and it
// gives the fallback text rather than an empty one when trimming or conversion leaves nothing.
// Neither reads GetLastError() itself: take it straight after the failed call and pass it in.
namespace tunnel_helper {
std::string DescribeWindowsError(DWORD code);
}  // namespace tunnel_helper

namespace app {
std::string DescribeWindowsError(DWORD code);
}  // namespace app
