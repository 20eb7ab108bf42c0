// Exhaustive inputs for the tests of the command line's quoting and splitting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// Every string of up to `max_length` characters over `alphabet`, the empty one first and the
// shorter before the longer.
inline std::vector<std::wstring> AllStrings(std::wstring_view alphabet, std::size_t max_length) {
  std::vector<std::wstring> strings = {L""};
  for (std::size_t first = 0, length = 1; length <= max_length; ++length) {
    const std::size_t end = strings.size();
    for (std::size_t i = first; i < end; ++i) {
      for (const wchar_t c : alphabet) strings.push_back(strings[i] + c);
    }
    first = end;
  }
  return strings;
}

}  // namespace test_support
