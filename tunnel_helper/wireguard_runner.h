// Finds and runs WireGuard for Windows' "wireguard.exe", capturing what it prints. Knows nothing
// of the meaning of its switches.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tunnel_helper {

inline constexpr std::size_t kCaptureReadChunkBytes = 4096;

struct WireGuardRunResult {
  // True once the process was created.
  bool started = false;
  // ERROR_GEN_FAILURE until the exit code of the finished process has been read.
  DWORD exitCode = ERROR_GEN_FAILURE;
  // Not started: the English reason. Started: everything the program wrote to its standard output
  // and standard error, as raw bytes, without trailing carriage returns and line feeds.
  std::string text;
};

// The first of WireGuardExeCandidates() that exists and is not a directory.
[[nodiscard]] std::optional<std::wstring> FindWireGuardExe();

// Runs `program` hidden, with `arguments` quoted onto its command line, and blocks until it has
// exited (no time-out). The output is drained while the program runs, so a program that prints
// more than the pipe holds cannot stall.
[[nodiscard]] WireGuardRunResult RunWireGuardCommand(const std::wstring& program,
                                                     const std::vector<std::wstring>& arguments);

}  // namespace tunnel_helper
