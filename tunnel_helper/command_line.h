// Windows command lines for the programs the service starts. Platform-free, so the quoting is also
// built and tested natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunnel_helper {

// The argument as it must stand on a command line so that the standard parsing (the C runtime's
// and CommandLineToArgvW) gives it back unchanged. An argument without blank, tab, line feed,
// vertical tab or double quote is returned as it is; an empty one becomes "".
std::wstring QuoteCommandLineArgument(std::wstring_view argument);

// The quoted program path, then each quoted argument after a single blank.
std::wstring BuildCommandLine(std::wstring_view program,
                              const std::vector<std::wstring>& arguments);

}  // namespace tunnel_helper
