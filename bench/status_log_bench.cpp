// Times a "status" round trip through the service's pipe server with the service's log written
// and without, in the same run, and prints the ratio (goal: at most 1.05). The server runs in this
// process with the service's own handler, so each request queries the service control manager as
// the service does; the client is a plain pipe client. Run from the build's bin folder in a prefix
// (see the README).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/helper_names.h"
#include "common/helper_protocol.h"
#include "common/log_file.h"
#include "common/unique_handle.h"
#include "tunnel_helper/pipe_server.h"
#include "tunnel_helper/tunnel_commands.h"

namespace {

constexpr int kRounds = 31;
constexpr int kRequestsPerRound = 100;

// One request and its answer, as the app sends it; false when the exchange failed.
bool StatusExchange() {
  if (!WaitNamedPipeW(common::kHelperPipeName, 5000)) return false;
  const common::UniqueFileHandle pipe(CreateFileW(common::kHelperPipeName,
                                                  GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
  if (!pipe) return false;
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
  const std::string request = common::EncodeHelperRequest({.command = "status", .config = {}});
  char answer[256];
  DWORD bytes = 0;
  return WriteFile(pipe.get(), request.data(), static_cast<DWORD>(request.size()), &bytes,
                   nullptr) &&
         ReadFile(pipe.get(), answer, sizeof(answer), &bytes, nullptr) &&
         std::string_view(answer, bytes).starts_with(R"({"ok":true)");
}

// As the app does, once more when the service did not get the request in time.
bool StatusRoundTrip() { return StatusExchange() || StatusExchange(); }

// Milliseconds per round trip over one round; negative when one failed.
double TimeRound() {
  LARGE_INTEGER start, end, frequency;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < kRequestsPerRound; ++i) {
    if (!StatusRoundTrip()) return -1;
  }
  QueryPerformanceCounter(&end);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart) / kRequestsPerRound;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / L"zeq-log-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const auto make_log = [&folder] {
    return std::make_unique<common::LogFile>(
        (folder / L"tunnel_helper.log").wstring(),
        [folder] {
          std::vector<common::UniqueFileHandle> held;
          held.emplace_back(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
          if (!held.back()) held.clear();
          return held;
        },
        nullptr);
  };
  const common::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const common::UniqueHandle listening(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread server([&] {
    tunnel_helper::RunPipeServer(stop.get(), listening.get(), tunnel_helper::RunTunnelCommand);
  });
  WaitForSingleObject(listening.get(), 10000);

  std::vector<double> without, with;
  bool failed = false;
  for (int round = 0; round < kRounds && !failed; ++round) {
    // Alternating, so that what else the machine does falls on both alike.
    common::SetProcessLog(nullptr);
    without.push_back(TimeRound());
    common::SetProcessLog(make_log());
    with.push_back(TimeRound());
    failed = without.back() < 0 || with.back() < 0;
  }
  SetEvent(stop.get());
  server.join();
  common::SetProcessLog(nullptr);
  std::filesystem::remove_all(folder);
  if (failed) {
    std::puts("a status round trip failed");
    return 1;
  }
  const double plain = Median(without);
  const double logged = Median(with);
  std::printf("status round trip: %.3f ms without the log, %.3f ms with it: ratio %.3f\n", plain,
              logged, logged / plain);
  return 0;
}
