#include "tests/support/process.h"

#include <tlhelp32.h>

#include "common/executable_path.h"
#include "common/file_bytes.h"

namespace test_support {

common::UniqueHandle StartProcess(std::wstring command_line, HANDLE output) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
  }
  PROCESS_INFORMATION process{};
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, output != nullptr,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
      break;
    }
    if (GetLastError() != kWineStartFailedUnderLoad || attempt == 3) return {};
  }
  const common::UniqueHandle thread(process.hThread);
  return common::UniqueHandle(process.hProcess);
}

ProcessRun RunProcess(const std::wstring& command_line, DWORD limit_ms) {
  ProcessRun run;
  // A file, unlike a pipe, never blocks a child that writes much, nor the wait for one whose
  // children keep it open; it goes with its last handle. Named here, not by GetTempFileNameW,
  // whose names come from the tick count and collide under load.
  static LONG runs = 0;
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring name = std::wstring(folder) + L"zeq-test-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(InterlockedIncrement(&runs)) + L".out";
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  const common::UniqueFileHandle output(
      CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                  CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!output) {
    run.start_error = GetLastError();
    return run;
  }
  const common::UniqueHandle process = StartProcess(command_line, output.get());
  run.started = process.valid();
  if (!run.started) {
    run.start_error = GetLastError();
    return run;
  }
  if (WaitForSingleObject(process.get(), limit_ms) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), WAIT_TIMEOUT);
    WaitForSingleObject(process.get(), 5000);
  }
  GetExitCodeProcess(process.get(), &run.exit_code);
  run.output = common::ReadWholeFile(name).value_or("");
  return run;
}

bool IsProcessRunning(const std::wstring& image_name) {
  const common::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, image_name.c_str()) == 0) return true;
  }
  return false;
}

std::wstring BuiltProgram(const std::wstring& program) {
  return L"\"" + common::ExecutableFolder() + L"\\" + program + L"\"";
}

}  // namespace test_support
