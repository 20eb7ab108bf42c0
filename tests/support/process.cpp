#include "tests/support/process.h"

#include "common/unique_handle.h"
#include "tests/support/files.h"

namespace test_support {
namespace {

// The environment block of this process with `extra` set on top.
std::wstring EnvironmentWith(const std::vector<std::wstring>& extra) {
  std::wstring block;
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
      const std::wstring text = entry;
      bool replaced = false;
      for (const std::wstring& setting : extra) {
        replaced |= _wcsnicmp(text.c_str(), setting.c_str(), setting.find(L'=') + 1) == 0;
      }
      if (!replaced) block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
  }
  for (const std::wstring& setting : extra) block.append(setting).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

}  // namespace

ProcessRun RunProcess(const std::wstring& command_line, DWORD limit_ms,
                      const std::vector<std::wstring>& environment) {
  ProcessRun run;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  common::UniqueHandle read_end;
  common::UniqueHandle write_end;
  if (!CreatePipe(read_end.receive(), write_end.receive(), &inheritable, 0) ||
      !SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
    return run;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end.get();
  startup.hStdError = write_end.get();
  PROCESS_INFORMATION process{};
  std::wstring writable = command_line;
  std::wstring block = EnvironmentWith(environment);
  run.started = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE,
                               CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                               environment.empty() ? nullptr : block.data(), nullptr, &startup,
                               &process) != FALSE;
  if (!run.started) run.start_error = GetLastError();
  write_end.reset();
  if (!run.started) return run;
  const common::UniqueHandle process_handle(process.hProcess);
  const common::UniqueHandle thread_handle(process.hThread);
  // Reads what has arrived; false once every write end is closed.
  const auto drain = [&run, &read_end] {
    DWORD available = 0;
    while (PeekNamedPipe(read_end.get(), nullptr, 0, nullptr, &available, nullptr)) {
      if (available == 0) return true;
      std::string piece(available, '\0');
      DWORD read = 0;
      if (!ReadFile(read_end.get(), piece.data(), available, &read, nullptr)) return false;
      run.output.append(piece, 0, read);
    }
    return false;
  };
  // Polled rather than read on a thread, so that every wait keeps its bound, also when something
  // the child started holds its output open.
  const ULONGLONG deadline = GetTickCount64() + limit_ms;
  bool output_open = true;
  for (;;) {
    if (output_open) output_open = drain();
    if (WaitForSingleObject(process_handle.get(), 10) == WAIT_OBJECT_0) {
      run.finished = true;
      break;
    }
    if (GetTickCount64() >= deadline) {
      TerminateProcess(process_handle.get(), 1);
      WaitForSingleObject(process_handle.get(), 5000);
      break;
    }
  }
  for (const ULONGLONG end = GetTickCount64() + 1000; output_open && GetTickCount64() < end;) {
    output_open = drain();
    if (output_open) Sleep(1);
  }
  GetExitCodeProcess(process_handle.get(), &run.exit_code);
  return run;
}

std::wstring BuiltProgram(const std::wstring& program) {
  return L"\"" + ProgramFolder() + L"\\" + program + L"\"";
}

}  // namespace test_support
