// The app's command line: every argument after the program name, in UTF-8, and the console the
// app writes to when a debugger starts it without one.
#pragma once

#include <string>
#include <vector>

namespace app {

// UTF-8 of a NUL-terminated UTF-16 text; empty for null or text that is not valid UTF-16.
[[nodiscard]] std::string ToUtf8(const wchar_t* text);

// The arguments of GetCommandLineW after the program name, in order, duplicates and empty ones
// kept; an argument that cannot be converted is an empty string. Split by the app itself, as
// CommandLineToArgvW would: a later start has no other use for the shell's library.
[[nodiscard]] std::vector<std::string> ReadLaunchArguments();

// Opens a console and points the standard streams, and the engine's output, at it.
void OpenDebugConsole();

}  // namespace app
