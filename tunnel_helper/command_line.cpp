#include "tunnel_helper/command_line.h"

namespace tunnel_helper {

namespace {

bool NeedsQuotes(std::wstring_view argument) {
  return argument.find_first_of(L" \t\n\v\"") != std::wstring_view::npos;
}

}  // namespace

std::wstring QuoteCommandLineArgument(std::wstring_view argument) {
  if (argument.empty()) {
    return L"\"\"";
  }
  if (!NeedsQuotes(argument)) {
    return std::wstring(argument);
  }
  std::wstring quoted;
  quoted.reserve(argument.size() + 2);
  quoted += L'"';
  // Backslashes mean nothing special unless a double quote follows them, so they are held back
  // until the next character shows whether they must be doubled.
  std::size_t pending_backslashes = 0;
  for (const wchar_t character : argument) {
    if (character == L'\\') {
      ++pending_backslashes;
      continue;
    }
    if (character == L'"') {
      quoted.append(2 * pending_backslashes + 1, L'\\');
    } else {
      quoted.append(pending_backslashes, L'\\');
    }
    quoted += character;
    pending_backslashes = 0;
  }
  // The closing quote counts as a double quote too.
  quoted.append(2 * pending_backslashes, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring BuildCommandLine(std::wstring_view program,
                              const std::vector<std::wstring>& arguments) {
  std::wstring command_line = QuoteCommandLineArgument(program);
  for (const std::wstring& argument : arguments) {
    command_line += L' ';
    command_line += QuoteCommandLineArgument(argument);
  }
  return command_line;
}

}  // namespace tunnel_helper
