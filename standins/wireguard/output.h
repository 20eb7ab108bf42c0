// What a run of the stand-in leaves behind for its caller and for tests: lines on its standard
// output or error, and a line in the run log beside the program.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace wireguard_standin {

// Exit code of a run whose output nobody read in time (the caller never drained its pipe).
inline constexpr DWORD kOutputStalledExitCode = 124;
inline constexpr DWORD kOutputDeadlineMs = 20000;

// Writes the text to the standard handle `which` (STD_OUTPUT_HANDLE or STD_ERROR_HANDLE). Should
// the reader not take it all within kOutputDeadlineMs, the process exits with
// kOutputStalledExitCode instead of blocking for ever.
void WriteStandard(DWORD which, std::string_view text);

// The lines, each followed by a carriage return and a line feed.
std::string JoinLines(const std::vector<std::string>& lines);

// Appends one line to "wireguard-runs.log" beside the program: the arguments after the program
// name, UTF-8, separated by tabs. Tests read it to see which runs happened and with what.
void AppendRunLog(int argc, wchar_t** argv);

}  // namespace wireguard_standin
