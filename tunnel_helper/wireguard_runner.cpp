#include "tunnel_helper/wireguard_runner.h"

#include <algorithm>

#include "common/log_file.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tunnel_helper/command_line.h"
#include "tunnel_helper/machine_paths.h"

namespace tunnel_helper {

namespace {

// Reads until the last write end is closed, that is until the program and everything that
// inherited its output have finished writing. Keeps the first kMaxCapturedOutputBytes and drops
// the rest, however much there is.
std::string ReadToEnd(HANDLE read_end, std::uint64_t& total_bytes) {
  std::string output;
  char buffer[kCaptureReadChunkBytes];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(read_end, buffer, sizeof(buffer), &read, nullptr) || read == 0) {
      break;
    }
    total_bytes += read;
    output.append(buffer, std::min<std::size_t>(read, kMaxCapturedOutputBytes - output.size()));
  }
  return output;
}

void TrimTrailingLineBreaks(std::string& text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
    text.pop_back();
  }
}

}  // namespace

std::optional<std::wstring> FindWireGuardExe() {
  for (std::wstring& candidate : WireGuardExeCandidates()) {
    const DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return std::move(candidate);
    }
  }
  return std::nullopt;
}

namespace {

WireGuardRunResult Run(const std::wstring& program, const std::vector<std::wstring>& arguments,
                       std::uint64_t& output_bytes) {
  WireGuardRunResult result;

  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof(inheritable);
  inheritable.bInheritHandle = TRUE;
  common::UniqueHandle read_end;
  common::UniqueHandle write_end;
  if (!CreatePipe(read_end.receive(), write_end.receive(), &inheritable, 0)) {
    result.text =
        "Failed to create the capture pipe: " + common::DescribeWindowsError(GetLastError());
    return result;
  }
  // Only the write end may reach the child: a read end held open there would keep the pipe from
  // ever reporting end of file.
  if (!SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
    result.text =
        "Failed to prepare the capture pipe: " + common::DescribeWindowsError(GetLastError());
    return result;
  }

  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring command_line = BuildCommandLine(program, arguments);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end.get();
  startup.hStdError = write_end.get();
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  const DWORD create_error = GetLastError();
  // Our copy of the write end goes at once, so that end of file means the child's copy is closed.
  write_end.reset();
  if (!created) {
    result.text =
        "Failed to start the WireGuard command: " + common::DescribeWindowsError(create_error);
    return result;
  }
  const common::UniqueHandle process_handle(process.hProcess);
  const common::UniqueHandle thread_handle(process.hThread);
  result.started = true;

  // Drain before waiting: a child that fills the pipe would otherwise never exit.
  result.text = ReadToEnd(read_end.get(), output_bytes);
  WaitForSingleObject(process_handle.get(), INFINITE);
  DWORD exit_code = 0;
  if (GetExitCodeProcess(process_handle.get(), &exit_code)) {
    result.exitCode = exit_code;
  }
  TrimTrailingLineBreaks(result.text);
  return result;
}

void LogRun(const std::vector<std::wstring>& arguments, const WireGuardRunResult& run,
            std::uint64_t output_bytes, ULONGLONG started) {
  std::wstring joined;
  for (const std::wstring& argument : arguments) joined += (joined.empty() ? L"" : L" ") + argument;
  const std::string arguments_text = common::WideToUtf8(joined);
  if (!run.started) {
    common::Log(common::LogLevel::kError, "wireguard not started",
                {{"arguments", arguments_text}, {"reason", run.text}});
    return;
  }
  if (run.exitCode == 0) {
    common::Log(common::LogLevel::kInfo, "wireguard run",
                {{"arguments", arguments_text},
                 {"exit_code", run.exitCode},
                 {"duration_ms", common::MillisecondsSince(started)},
                 {"output_bytes", output_bytes}});
    return;
  }
  // What WireGuard printed is kept only for a failed run, and never a key it may have echoed.
  common::Log(common::LogLevel::kWarning, "wireguard run",
              {{"arguments", arguments_text},
               {"exit_code", run.exitCode},
               {"duration_ms", common::MillisecondsSince(started)},
               {"output_bytes", output_bytes},
               {"output", common::RedactKeys(run.text)}});
}

}  // namespace

WireGuardRunResult RunWireGuardCommand(const std::wstring& program,
                                       const std::vector<std::wstring>& arguments) {
  const ULONGLONG started = GetTickCount64();
  std::uint64_t output_bytes = 0;
  WireGuardRunResult run = Run(program, arguments, output_bytes);
  LogRun(arguments, run, output_bytes, started);
  return run;
}

}  // namespace tunnel_helper
