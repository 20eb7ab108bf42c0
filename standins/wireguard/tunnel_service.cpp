#include "standins/wireguard/tunnel_service.h"

#include <optional>

#include "common/file_bytes.h"
#include "common/unique_handle.h"
#include "standins/wireguard/directives.h"
#include "standins/wireguard/output.h"
#include "standins/wireguard/tunnel_install.h"

namespace wireguard_standin {

namespace {

// The service callbacks take no context, so the one service of this process lives here. Written
// before the dispatcher starts, then only by ServiceMain and the control handler.
struct TunnelServiceState {
  std::wstring config_path;
  std::wstring service_name;
  SERVICE_STATUS_HANDLE status_handle = nullptr;
  HANDLE stop_event = nullptr;
  DWORD check_point = 1;
};
TunnelServiceState g_service;

void Report(DWORD state, DWORD exit_code = NO_ERROR, DWORD wait_hint = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  // Stop is accepted while starting too, so that a tunnel told to start slowly can be removed.
  status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  status.dwWin32ExitCode = exit_code;
  status.dwWaitHint = wait_hint;
  const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
  status.dwCheckPoint = pending ? g_service.check_point++ : 0;
  SetServiceStatus(g_service.status_handle, &status);
}

void WINAPI ControlHandler(DWORD control) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING, NO_ERROR, 3000);
    SetEvent(g_service.stop_event);
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_service.status_handle =
      RegisterServiceCtrlHandlerW(g_service.service_name.c_str(), ControlHandler);
  if (g_service.status_handle == nullptr) {
    return;
  }
  const common::UniqueHandle stop_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_service.stop_event = stop_event.get();
  if (!stop_event) {
    Report(SERVICE_STOPPED, GetLastError());
    return;
  }
  DWORD error = 0;
  const std::optional<std::string> config = common::ReadWholeFile(g_service.config_path, &error);
  if (!config) {
    Report(SERVICE_STOPPED, error);
    return;
  }
  const DWORD delay = ReadDirectives().start_delay_ms;
  Report(SERVICE_START_PENDING, NO_ERROR, delay + 3000);
  if (delay == 0 || WaitForSingleObject(stop_event.get(), delay) == WAIT_TIMEOUT) {
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stop_event.get(), INFINITE);
  }
  Report(SERVICE_STOPPED);
}

}  // namespace

DWORD RunTunnelService(const std::wstring& config_path) {
  g_service.config_path = config_path;
  g_service.service_name = kTunnelServicePrefix + TunnelNameOfConfig(config_path);
  SERVICE_TABLE_ENTRYW table[] = {
      {g_service.service_name.data(), ServiceMain},
      {nullptr, nullptr},
  };
  if (!StartServiceCtrlDispatcherW(table)) {
    return GetLastError();
  }
  return 0;
}

}  // namespace wireguard_standin
