// Child processes for the Windows tests: start one, wait for it with a bound, and collect what it
// wrote to its standard output and error.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace test_support {

struct ProcessOutcome {
  bool finished = false;  // false: not started, or still running at the bound and then killed
  DWORD exit_code = 0;
  std::string output;  // standard output and error together, as written
};

// The child writes into a temporary file that goes away with the last handle, so a child that
// writes much cannot block on a full pipe, and no reader thread is needed.
class ChildProcess {
 public:
  explicit ChildProcess(std::wstring command_line);
  ~ChildProcess();  // kills a child that still runs
  ChildProcess(ChildProcess&&) = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool started() const noexcept { return process_.valid(); }
  [[nodiscard]] HANDLE handle() const noexcept { return process_.get(); }
  // Waits up to `timeout_ms`; a child still running then is killed and reported as not finished.
  ProcessOutcome Wait(DWORD timeout_ms);

 private:
  UniqueHandle process_;
  UniqueFileHandle output_;
};

ProcessOutcome RunProcess(const std::wstring& command_line, DWORD timeout_ms = 30000);

}  // namespace test_support
