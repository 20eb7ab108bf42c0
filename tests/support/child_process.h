// Child processes for the Windows tests, with bounded waits.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace test_support {

// Starts `command_line` with this process's environment; `output`, when given, must be
// inheritable and receives the child's standard output and error. Empty when it cannot start.
UniqueHandle StartProcess(std::wstring command_line, HANDLE output = nullptr);

struct ProcessOutcome {
  bool finished = false;  // false: it did not start, or still ran at the bound and was killed
  DWORD exit_code = 0;
  std::string output;  // standard output and error
};

ProcessOutcome RunProcess(const std::wstring& command_line, DWORD timeout_ms = 30000);

}  // namespace test_support
