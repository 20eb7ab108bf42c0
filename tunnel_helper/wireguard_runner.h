// Finds and runs WireGuard for Windows' "wireguard.exe", capturing what it prints. Knows nothing
// of the meaning of its switches.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/helper_protocol.h"

namespace tunnel_helper {

inline constexpr std::size_t kCaptureReadChunkBytes = 4096;
// The most of a run's output that is kept: no answer to the app can carry more. A program may
// print without limit; the rest is read, so that it can finish, and dropped.
inline constexpr std::size_t kMaxCapturedOutputBytes = common::kMaxHelperResponseBytes;

struct WireGuardRunResult {
  // True once the process was created.
  bool started = false;
  // ERROR_GEN_FAILURE until the exit code of the finished process has been read.
  DWORD exitCode = ERROR_GEN_FAILURE;
  // Not started: the English reason. Started: what the program wrote to its standard output and
  // standard error, as raw bytes, up to kMaxCapturedOutputBytes, without trailing carriage returns
  // and line feeds.
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
