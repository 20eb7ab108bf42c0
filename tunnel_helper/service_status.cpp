#include "tunnel_helper/service_status.h"

namespace tunnel_helper {

ServiceStatusReporter::ServiceStatusReporter() noexcept {
  status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status_.dwServiceSpecificExitCode = 0;
}

void ServiceStatusReporter::Attach(SERVICE_STATUS_HANDLE handle) noexcept {
  std::lock_guard lock(mutex_);
  handle_ = handle;
}

void ServiceStatusReporter::Report(DWORD state, DWORD win32_exit_code, DWORD wait_hint) noexcept {
  std::lock_guard lock(mutex_);
  status_.dwCurrentState = state;
  status_.dwWin32ExitCode = win32_exit_code;
  status_.dwServiceSpecificExitCode = 0;
  status_.dwWaitHint = wait_hint;
  status_.dwControlsAccepted =
      state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  if (state == SERVICE_RUNNING || state == SERVICE_STOPPED) {
    status_.dwCheckPoint = 0;
    checkpoint_ = 1;
  } else {
    status_.dwCheckPoint = checkpoint_++;
  }
  if (handle_ != nullptr) {
    SetServiceStatus(handle_, &status_);
  }
}

SERVICE_STATUS ServiceStatusReporter::Current() const noexcept {
  std::lock_guard lock(mutex_);
  return status_;
}

}  // namespace tunnel_helper
