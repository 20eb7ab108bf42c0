// Windows error codes as UTF-8 text for English messages ("<prefix>: <system text>").
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace common {

// UTF-16 to UTF-8; an empty string when the input is empty or cannot be converted. With
// WC_ERR_INVALID_CHARS in `flags`, an unpaired surrogate cannot be converted.
std::string WideToUtf8(std::wstring_view text, DWORD flags = 0);

}  // namespace common

// The service's and the app's texts differ in two points: the app keeps trailing blanks, and it
// gives the fallback text ("Windows error <code>") rather than an empty one when trimming or
// conversion leaves nothing. Neither reads GetLastError() itself: take it straight after the failed
// call and pass it in. DescribeSystemErrorText words `text`, the system's text for `code` (nothing
// when it has none); it is exposed for tests, since the system's texts at hand never end in blanks.
namespace tunnel_helper {
std::string DescribeWindowsError(DWORD code);
std::string DescribeSystemErrorText(std::optional<std::wstring> text, DWORD code);
}  // namespace tunnel_helper

namespace app {
std::string DescribeWindowsError(DWORD code);
std::string DescribeSystemErrorText(std::optional<std::wstring> text, DWORD code);
}  // namespace app
