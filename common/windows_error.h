// The one place where Windows error codes become text for English messages
// ("<prefix>: <system text>"), and where UTF-16 and UTF-8 are converted. Nothing here reads
// GetLastError() itself: take it straight after the failed call and pass it in.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace common {

// UTF-16 to UTF-8; an empty string when the input is empty or cannot be converted. With
// WC_ERR_INVALID_CHARS in `flags`, an unpaired surrogate cannot be converted.
std::string WideToUtf8(std::wstring_view text, DWORD flags = 0);

// UTF-8 to UTF-16; an empty string when the input is empty or is not valid UTF-8.
std::wstring Utf8ToWide(std::string_view text);

// The service's wording: the system's text for `code` without any trailing white space, or
// "Windows error <code>" when the system has none. Empty when trimming or conversion leaves
// nothing.
std::string DescribeWindowsError(DWORD code);

// The app's wording: only trailing line breaks go (blanks stay), and "Windows error <code>" also
// stands in when trimming or conversion leaves nothing.
std::string DescribeWindowsErrorKeepingBlanks(DWORD code);

// The C++ runtime's system category wording, used for the config folder's failures: in US
// English if the system has it, else in the system's default language, else in any language; in
// the ANSI code page; without trailing blanks, tabs, line breaks and NULs; "unknown error" when
// the system has no text.
std::string SystemCategoryMessage(DWORD code);

// The two wordings above applied to `text`, the system's text for `code` (nothing when it has
// none). For tests: the system's texts at hand never end in blanks.
std::string DescribeSystemErrorText(std::optional<std::wstring> text, DWORD code);
std::string DescribeSystemErrorTextKeepingBlanks(std::optional<std::wstring> text, DWORD code);

}  // namespace common
