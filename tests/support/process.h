// Child processes of a test, with their output collected and every wait bounded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test_support {

struct ProcessRun {
  bool started = false;
  DWORD start_error = ERROR_SUCCESS;  // why it did not start
  bool finished = false;              // false: killed at the time limit
  DWORD exit_code = 0;
  std::string output;  // standard output and standard error, as written
};

// Runs `command_line` (the program's quoted path first) with its output collected, and kills it
// after `limit_ms`. `environment` entries ("NAME=value") are set for the child on top of this
// process's environment.
ProcessRun RunProcess(const std::wstring& command_line, DWORD limit_ms = 30000,
                      const std::vector<std::wstring>& environment = {});

// "<program folder>\<program>" in quotes, for a command line.
std::wstring BuiltProgram(const std::wstring& program);

}  // namespace test_support
