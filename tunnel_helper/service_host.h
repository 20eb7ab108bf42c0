// The service's life under the service control manager: the dispatcher, ServiceMain, the control
// handler and the pipe server thread.
#pragma once

#include <windows.h>

#include "tunnel_helper/pipe_server.h"
#include "tunnel_helper/service_status.h"

namespace tunnel_helper {

// Hands the process to the service control manager and returns the process exit code: 0 when the
// service ran and stopped, or when the program was started outside the service control manager;
// otherwise the dispatcher's error. `handler` serves every request for the life of the process.
[[nodiscard]] int RunServiceHost(RequestHandler handler);

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) noexcept;
void WINAPI ServiceControlHandler(DWORD control) noexcept;
void ReportServiceStatus(DWORD state, DWORD win32_exit_code, DWORD wait_hint) noexcept;
DWORD WINAPI PipeServerThread(LPVOID unused) noexcept;

}  // namespace tunnel_helper
