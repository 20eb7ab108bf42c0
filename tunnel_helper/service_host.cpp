#include "tunnel_helper/service_host.h"

#include <mutex>
#include <string>
#include <utility>

#include "common/helper_names.h"
#include "common/log_file.h"
#include "common/product_version.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tunnel_helper/service_status.h"

namespace tunnel_helper {
namespace {

// One per process. The handler is fixed before the dispatcher starts; the stop event exists from
// ServiceMain's start until the pipe thread has ended, and the control handler only runs in that
// time, because no control is accepted before SERVICE_RUNNING is reported.
struct ServiceHostState {
  RequestHandler handler = nullptr;
  ServiceStatusReporter status;
  // Guards stop_event between ServiceMain, which creates and closes it, and the control handler,
  // which sets it.
  std::mutex stop_mutex;
  common::UniqueHandle stop_event;
  // Set by the pipe thread once its first pipe instance exists (or could not be created).
  common::UniqueHandle listening_event;
  common::UniqueHandle pipe_thread;
};

ServiceHostState& HostState() {
  static ServiceHostState state;
  return state;
}

void CloseStopEvent(ServiceHostState& host) {
  std::lock_guard lock(host.stop_mutex);
  host.stop_event.reset();
}

void ReportServiceStatus(DWORD state, DWORD win32_exit_code, DWORD wait_hint) noexcept {
  HostState().status.Report(state, win32_exit_code, wait_hint);
}

void ReportStartFailure(DWORD error) {
  common::Log(common::LogLevel::kError, "service not started",
              {{"reason", common::DescribeWindowsError(error)}});
  ReportServiceStatus(SERVICE_STOPPED, error, 0);
}

DWORD WINAPI PipeServerThread(LPVOID /*unused*/) noexcept {
  ServiceHostState& host = HostState();
  RunPipeServer(host.stop_event.get(), host.listening_event.get(), host.handler);
  return 0;
}

void WINAPI ServiceControlHandler(DWORD control) noexcept {
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) {
    return;
  }
  ReportServiceStatus(SERVICE_STOP_PENDING, NO_ERROR, kStatusWaitHintMs);
  common::Log(common::LogLevel::kInfo, "service stopping",
              {{"reason", control == SERVICE_CONTROL_STOP ? "stop requested" : "system shutdown"}});
  ServiceHostState& host = HostState();
  std::lock_guard lock(host.stop_mutex);
  if (host.stop_event) {
    SetEvent(host.stop_event.get());
  }
}

void RunServiceMain() {
  ServiceHostState& host = HostState();
  const SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerW(common::kHelperServiceName, ServiceControlHandler);
  if (handle == nullptr) {
    return;
  }
  host.status.Attach(handle);
  ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, kStatusWaitHintMs);

  common::UniqueHandle stop_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_event) {
    ReportStartFailure(GetLastError());
    return;
  }
  {
    std::lock_guard lock(host.stop_mutex);
    host.stop_event = std::move(stop_event);
  }
  host.listening_event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!host.listening_event) {
    const DWORD error = GetLastError();
    CloseStopEvent(host);
    ReportStartFailure(error);
    return;
  }
  host.pipe_thread.reset(CreateThread(nullptr, 0, PipeServerThread, nullptr, 0, nullptr));
  if (!host.pipe_thread) {
    const DWORD error = GetLastError();
    CloseStopEvent(host);
    host.listening_event.reset();
    ReportStartFailure(error);
    return;
  }
  // RUNNING tells clients they can connect, so it waits for the pipe: a client started right after
  // the service would otherwise find no pipe and take the service for missing.
  const HANDLE started[] = {host.listening_event.get(), host.pipe_thread.get()};
  WaitForMultipleObjects(2, started, FALSE, INFINITE);
  ReportServiceStatus(SERVICE_RUNNING, NO_ERROR, 0);
  common::Log(common::LogLevel::kInfo, "service started",
              {{"version", ZEQ_VERSION_TEXT}, {"pid", GetCurrentProcessId()}});

  WaitForSingleObject(host.pipe_thread.get(), INFINITE);
  host.pipe_thread.reset();
  host.listening_event.reset();
  CloseStopEvent(host);
  common::Log(common::LogLevel::kInfo, "service stopped");
  ReportServiceStatus(SERVICE_STOPPED, NO_ERROR, 0);
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) noexcept {
  try {
    RunServiceMain();
  } catch (...) {
    ReportServiceStatus(SERVICE_STOPPED, ERROR_EXCEPTION_IN_SERVICE, 0);
  }
}

}  // namespace

int RunServiceHost(RequestHandler handler) {
  HostState().handler = handler;
  std::wstring name = common::kHelperServiceName;  // The table wants a writable string.
  const SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) {
    return 0;
  }
  const DWORD error = GetLastError();
  // Started by hand rather than by the service control manager: nothing to do.
  return error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? 0 : static_cast<int>(error);
}

}  // namespace tunnel_helper
