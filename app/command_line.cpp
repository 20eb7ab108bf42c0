#include "app/command_line.h"

namespace app {
namespace {

bool IsBlank(wchar_t character) { return character == L' ' || character == L'\t'; }

}  // namespace

std::vector<std::wstring> CommandLineArguments(std::wstring_view line) {
  std::size_t at = 0;
  if (!line.empty() && line[0] == L'"') {
    const std::size_t close = line.find(L'"', 1);
    at = close == std::wstring_view::npos ? line.size() : close + 1;
  } else {
    while (at < line.size() && !IsBlank(line[at])) ++at;
  }
  std::vector<std::wstring> arguments;
  for (;;) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size()) return arguments;
    std::wstring& argument = arguments.emplace_back();
    bool quoted = false;
    std::size_t backslashes = 0;
    for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
      const wchar_t character = line[at];
      if (character == L'\\') {
        ++backslashes;
        continue;
      }
      if (character == L'"') {
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          argument += L'"';
        } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
          // A doubled quote inside a quoted part is one literal quote, and ends that part.
          argument += L'"';
          quoted = false;
          ++at;
        } else {
          quoted = !quoted;
        }
      } else {
        argument.append(backslashes, L'\\');
        argument += character;
      }
      backslashes = 0;
    }
    argument.append(backslashes, L'\\');
  }
}

}  // namespace app
