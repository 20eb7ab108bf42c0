#include "common/windows_error.h"

#include <cwctype>
#include <optional>

#include "common/unique_handle.h"

namespace common {
namespace {

// The system's text for the code, or nothing when it has none.
std::optional<std::wstring> SystemErrorText(DWORD code) {
  UniqueLocalMemory buffer;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(buffer.receive()), 0, nullptr);
  if (length == 0 || !buffer) {
    return std::nullopt;
  }
  return std::wstring(static_cast<const wchar_t*>(buffer.get()), length);
}

enum class ErrorTextTrim {
  kTrailingSpace,       // Carriage returns, line feeds and every other trailing blank.
  kTrailingLineBreaks,  // Carriage returns and line feeds only.
};

std::wstring TrimErrorText(std::wstring text, ErrorTextTrim trim) {
  while (!text.empty()) {
    const wchar_t last = text.back();
    const bool line_break = last == L'\r' || last == L'\n';
    if (!line_break && (trim == ErrorTextTrim::kTrailingLineBreaks || !std::iswspace(last))) {
      break;
    }
    text.pop_back();
  }
  return text;
}

std::string WindowsErrorFallbackText(DWORD code) { return "Windows error " + std::to_string(code); }

}  // namespace

std::string WideToUtf8(std::wstring_view text, DWORD flags) {
  if (text.empty()) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    return {};
  }
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, flags, text.data(), length, utf8.data(), needed,
                                          nullptr, nullptr);
  if (written <= 0) {
    return {};
  }
  utf8.resize(static_cast<std::size_t>(written));
  return utf8;
}

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                          needed) <= 0) {
    return {};
  }
  return wide;
}

std::string DescribeWindowsError(DWORD code) {
  return DescribeSystemErrorText(SystemErrorText(code), code);
}

std::string DescribeSystemErrorText(std::optional<std::wstring> text, DWORD code) {
  if (!text) {
    return WindowsErrorFallbackText(code);
  }
  return WideToUtf8(TrimErrorText(std::move(*text), ErrorTextTrim::kTrailingSpace));
}

std::string DescribeWindowsErrorKeepingBlanks(DWORD code) {
  return DescribeSystemErrorTextKeepingBlanks(SystemErrorText(code), code);
}

std::string DescribeSystemErrorTextKeepingBlanks(std::optional<std::wstring> text, DWORD code) {
  std::string utf8;
  if (text) {
    utf8 = WideToUtf8(TrimErrorText(std::move(*text), ErrorTextTrim::kTrailingLineBreaks));
  }
  return utf8.empty() ? WindowsErrorFallbackText(code) : utf8;
}

std::string SystemCategoryMessage(DWORD code) {
  // Language 0 lets the system pick, ending with any language it has.
  const DWORD languages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), LANG_SYSTEM_DEFAULT, 0};
  std::string message;
  for (const DWORD language : languages) {
    UniqueLocalMemory buffer;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, language, reinterpret_cast<LPSTR>(buffer.receive()), 0, nullptr);
    if (length != 0 && buffer) {
      message.assign(static_cast<const char*>(buffer.get()), length);
      break;
    }
  }
  const std::size_t end = message.find_last_not_of(std::string_view(" \t\r\n\0", 5));
  message.erase(end == std::string::npos ? 0 : end + 1);
  return message.empty() ? "unknown error" : message;
}

}  // namespace common
