// Child processes of a test, with their output collected and every wait bounded. Free of
// GoogleTest, like wait.h, so that the start-up benchmark shares them: they report what they saw,
// and the tests decide.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace test_support {

// On a machine under heavy load Wine now and then fails to start a new process at all, with
// ERROR_INTERNAL_ERROR; the starts here try again (twice at most) before they give up.
inline constexpr DWORD kWineStartFailedUnderLoad = ERROR_INTERNAL_ERROR;

// Starts `command_line` (the program's quoted path first) with this process's environment.
// `output`, when given, must be inheritable and receives the child's standard output and error.
// Empty when it cannot start, with GetLastError() telling why.
common::UniqueHandle StartProcess(std::wstring command_line, HANDLE output = nullptr);

struct ProcessRun {
  bool started = false;
  DWORD start_error = ERROR_SUCCESS;  // why it did not start
  // STILL_ACTIVE until the process has ended, WAIT_TIMEOUT when it was killed at the time limit:
  // codes no test expects.
  DWORD exit_code = STILL_ACTIVE;
  std::string output;  // standard output and standard error, as written
};

// Runs `command_line` to its end, or kills it after `limit_ms`, with its output collected.
ProcessRun RunProcess(const std::wstring& command_line, DWORD limit_ms = 30000);

// Whether a process with this file name (for example L"tunnel_helper.exe") runs in the prefix.
bool IsProcessRunning(const std::wstring& image_name);

// "<program folder>\<program>" in quotes, for a command line.
std::wstring BuiltProgram(const std::wstring& program);

}  // namespace test_support
