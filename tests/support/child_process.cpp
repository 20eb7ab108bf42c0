#include "tests/support/child_process.h"

namespace test_support {

UniqueHandle StartProcess(std::wstring command_line, HANDLE output) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
  }
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                      nullptr, &startup, &info)) {
    return {};
  }
  const UniqueHandle thread(info.hThread);
  return UniqueHandle(info.hProcess);
}

ProcessOutcome RunProcess(const std::wstring& command_line, DWORD timeout_ms) {
  ProcessOutcome outcome;
  // A file, unlike a pipe, never blocks a child that writes much; it goes with its last handle.
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  if (GetTempFileNameW(folder, L"out", 0, name) == 0) return outcome;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const UniqueFileHandle output(CreateFileW(
      name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      &inheritable, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!output) return outcome;
  const UniqueHandle process = StartProcess(command_line, output.get());
  if (!process) return outcome;
  outcome.finished = WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0;
  if (!outcome.finished) TerminateProcess(process.get(), 1);
  GetExitCodeProcess(process.get(), &outcome.exit_code);
  // The child wrote through a handle that shares this one's file position.
  SetFilePointer(output.get(), 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(output.get(), chunk, sizeof chunk, &read, nullptr) && read != 0) {
    outcome.output.append(chunk, read);
  }
  return outcome;
}

}  // namespace test_support
