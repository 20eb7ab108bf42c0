#include "tunnel_helper/tunnel_service_state.h"

#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tunnel_helper/tunnel_names.h"

namespace tunnel_helper {

std::uint32_t QueryTunnelServiceState(std::string& error_text) {
  const common::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    error_text =
        "Failed to open the Windows service manager: " + DescribeWindowsError(GetLastError());
    return kTunnelStateNotRunning;
  }
  const common::UniqueServiceHandle service(
      OpenServiceW(manager.get(), kTunnelServiceName, SERVICE_QUERY_STATUS));
  if (!service) {
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
      return kTunnelStateNotRunning;
    }
    error_text = "Failed to query the WireGuard tunnel service: " + DescribeWindowsError(error);
    return kTunnelStateNotRunning;
  }
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof(status), &needed)) {
    error_text = "Failed to read the WireGuard tunnel service status: " +
                 DescribeWindowsError(GetLastError());
    return kTunnelStateNotRunning;
  }
  return status.dwCurrentState == SERVICE_RUNNING ? kTunnelStateRunning : kTunnelStateNotRunning;
}

bool TunnelWaitLimitPassed(DWORD start, DWORD now, DWORD limit_ms) {
  const DWORD elapsed = now - start;
  return elapsed > limit_ms;
}

bool WaitForTunnelServiceState(std::uint32_t wanted, DWORD limit_ms, std::string& error_text) {
  const DWORD start = GetTickCount();
  while (!TunnelWaitLimitPassed(start, GetTickCount(), limit_ms)) {
    std::string query_error;
    const std::uint32_t state = QueryTunnelServiceState(query_error);
    if (query_error.empty() && state == wanted) {
      return true;
    }
    if (!query_error.empty()) {
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
