// Arguments that a command line must carry unchanged, shared by the native test of the quoting and
// the Windows tests against CommandLineToArgvW and a real child process.
#pragma once

#include <string>
#include <vector>

namespace command_line_cases {

// Every string of up to five characters over blank, tab, backslash, double quote and "a", plus
// arguments with line feeds, vertical tabs and characters outside ASCII.
inline std::vector<std::wstring> AllArguments() {
  const std::wstring alphabet = L" \t\\\"a";
  std::vector<std::wstring> arguments = {L""};
  std::vector<std::wstring> previous_length = {L""};
  for (int length = 1; length <= 5; ++length) {
    std::vector<std::wstring> next_length;
    for (const std::wstring& prefix : previous_length) {
      for (const wchar_t character : alphabet) {
        next_length.push_back(prefix + character);
      }
    }
    arguments.insert(arguments.end(), next_length.begin(), next_length.end());
    previous_length = std::move(next_length);
  }
  for (const wchar_t* extra :
       {L"line\nfeed", L"vertical\vtab", L"\n", L"\v\\", L"\u00e9t\u00e9 \u00e0 Z\u00fcrich",
        L"\u4e2d\u6587\\\"", L"\U0001F600 \\", L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf",
        L"\\\\server\\share\\with blank\\"}) {
    arguments.push_back(extra);
  }
  return arguments;
}

// Lists of several arguments, where a fault would let one argument run into the next.
inline std::vector<std::vector<std::wstring>> ArgumentLists() {
  return {
      {},
      {L""},
      {L"", L""},
      {L"/installtunnelservice", L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf"},
      {L"ends in backslash\\", L"next"},
      {L"C:\\dir\\", L"\"quoted\""},
      {L"a\\\\\"", L"\\", L"", L"\t"},
      {L"\"\"", L"\\\"\\", L"x y z"},
  };
}

}  // namespace command_line_cases
