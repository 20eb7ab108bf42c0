#include "tunnel_helper/tunnel_service_state.h"

#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tunnel_helper/tunnel_names.h"

std::uint32_t QueryTunnelServiceState(std::string& errorText) {
  const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    errorText = "Failed to open the Windows service manager: " +
                tunnel_helper::DescribeWindowsError(GetLastError());
    return kTunnelStateNotRunning;
  }
  const UniqueServiceHandle service(
      OpenServiceW(manager.get(), kTunnelServiceName, SERVICE_QUERY_STATUS));
  if (!service) {
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
      return kTunnelStateNotRunning;
    }
    errorText = "Failed to query the WireGuard tunnel service: " +
                tunnel_helper::DescribeWindowsError(error);
    return kTunnelStateNotRunning;
  }
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                            reinterpret_cast<BYTE*>(&status), sizeof(status), &needed)) {
    errorText = "Failed to read the WireGuard tunnel service status: " +
                tunnel_helper::DescribeWindowsError(GetLastError());
    return kTunnelStateNotRunning;
  }
  return status.dwCurrentState == SERVICE_RUNNING ? kTunnelStateRunning : kTunnelStateNotRunning;
}

bool TunnelWaitLimitPassed(DWORD start, DWORD now, DWORD limitMs) {
  const DWORD elapsed = now - start;
  return elapsed > limitMs;
}

bool WaitForTunnelServiceState(std::uint32_t wanted, DWORD limitMs, std::string& errorText) {
  const DWORD start = GetTickCount();
  while (!TunnelWaitLimitPassed(start, GetTickCount(), limitMs)) {
    std::string query_error;
    const std::uint32_t state = QueryTunnelServiceState(query_error);
    if (query_error.empty() && state == wanted) {
      return true;
    }
    if (!query_error.empty()) {
      errorText = std::move(query_error);
    }
    Sleep(kTunnelServicePollIntervalMs);
  }
  if (errorText.empty()) {
    errorText = wanted == kTunnelStateRunning
                    ? "WireGuard tunnel service did not reach the running state."
                    : "WireGuard tunnel service did not stop cleanly.";
  }
  return false;
}
