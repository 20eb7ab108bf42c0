// The status the service reports to the service control manager over its life.
#pragma once

#include <windows.h>

#include <mutex>

namespace tunnel_helper {

inline constexpr DWORD kStatusWaitHintMs = 3000;

// Fills the status record for each report and hands it to SetServiceStatus. The control handler's
// thread and ServiceMain's thread both report, so the record is guarded by a lock.
class ServiceStatusReporter {
 public:
  ServiceStatusReporter() noexcept;

  // Reports go to the service control manager once a handle is attached; until then (and in
  // tests) only the record changes.
  void Attach(SERVICE_STATUS_HANDLE handle) noexcept;

  // Pending states carry the next checkpoint and accept no controls while starting; RUNNING and
  // STOPPED carry checkpoint 0 and restart the count.
  void Report(DWORD state, DWORD win32_exit_code, DWORD wait_hint) noexcept;

  [[nodiscard]] SERVICE_STATUS Current() const noexcept;

 private:
  mutable std::mutex mutex_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_{};
  DWORD checkpoint_ = 1;
};

}  // namespace tunnel_helper
