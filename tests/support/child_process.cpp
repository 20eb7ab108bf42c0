#include "tests/support/child_process.h"

#include <utility>

namespace test_support {

ChildProcess::ChildProcess(std::wstring command_line) {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"out", 0, name) == 0) {
    return;
  }
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  output_.reset(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                            CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!output_) return;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = output_.get();
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return;
  }
  const UniqueHandle thread(info.hThread);
  process_.reset(info.hProcess);
}

ChildProcess::~ChildProcess() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

ProcessOutcome ChildProcess::Wait(DWORD timeout_ms) {
  ProcessOutcome outcome;
  if (!process_) return outcome;
  outcome.finished = WaitForSingleObject(process_.get(), timeout_ms) == WAIT_OBJECT_0;
  if (!outcome.finished) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
  GetExitCodeProcess(process_.get(), &outcome.exit_code);
  // The child wrote through a handle that shares this one's position.
  SetFilePointer(output_.get(), 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(output_.get(), chunk, sizeof chunk, &read, nullptr) && read != 0) {
    outcome.output.append(chunk, read);
  }
  return outcome;
}

ProcessOutcome RunProcess(const std::wstring& command_line, DWORD timeout_ms) {
  return ChildProcess(command_line).Wait(timeout_ms);
}

}  // namespace test_support
