#include "tunnel_helper/tunnel_service_state.h"

#include <atomic>

#include "common/log_file.h"
#include "common/service_status_lookup.h"
#include "common/windows_error.h"
#include "tunnel_helper/tunnel_names.h"

namespace tunnel_helper {
namespace {

const char* StateName(std::uint32_t state) {
  return state == kTunnelStateRunning ? "running" : "not running";
}

// Notes in the log each change of the tunnel's state that a query sees.
std::uint32_t Observed(std::uint32_t state) {
  static std::atomic<std::int64_t> last_seen = -1;
  const std::int64_t before = last_seen.exchange(state);
  if (before != state) {
    common::Log(common::LogLevel::kInfo, "tunnel state changed",
                {{"from", before < 0 ? "unknown" : StateName(static_cast<std::uint32_t>(before))},
                 {"to", StateName(state)}});
  }
  return state;
}

}  // namespace

std::optional<std::uint32_t> QueryTunnelServiceState(std::string& error_text) {
  const common::ServiceStatusLookup lookup = common::LookUpServiceStatus(kTunnelServiceName);
  if (lookup.status) {
    return Observed(lookup.status->dwCurrentState == SERVICE_RUNNING ? kTunnelStateRunning
                                                                     : kTunnelStateNotRunning);
  }
  const std::string reason = common::DescribeWindowsError(lookup.error);
  switch (lookup.failed_step) {
    case common::ServiceLookupStep::kOpenManager:
      error_text = "Failed to open the Windows service manager: " + reason;
      break;
    case common::ServiceLookupStep::kOpenService:
      // A tunnel that was never installed, or was removed, is simply not running.
      if (lookup.error == ERROR_SERVICE_DOES_NOT_EXIST) return Observed(kTunnelStateNotRunning);
      error_text = "Failed to query the WireGuard tunnel service: " + reason;
      break;
    case common::ServiceLookupStep::kQueryStatus:
      error_text = "Failed to read the WireGuard tunnel service status: " + reason;
      break;
  }
  return std::nullopt;
}

bool TunnelWaitLimitPassed(DWORD start, DWORD now, DWORD limit_ms) {
  const DWORD elapsed = now - start;
  return elapsed > limit_ms;
}

bool WaitForTunnelServiceState(std::uint32_t wanted, DWORD limit_ms, std::string& error_text) {
  const DWORD start = GetTickCount();
  while (!TunnelWaitLimitPassed(start, GetTickCount(), limit_ms)) {
    std::string query_error;
    const std::optional<std::uint32_t> state = QueryTunnelServiceState(query_error);
    if (state == wanted) {
      return true;
    }
    if (!state) {
      error_text = std::move(query_error);
    }
    Sleep(kTunnelServicePollIntervalMs);
  }
  if (error_text.empty()) {
    error_text = wanted == kTunnelStateRunning
                     ? "WireGuard tunnel service did not reach the running state."
                     : "WireGuard tunnel service did not stop cleanly.";
  }
  return false;
}

}  // namespace tunnel_helper
