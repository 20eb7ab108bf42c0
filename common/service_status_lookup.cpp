#include "common/service_status_lookup.h"

#include "common/unique_handle.h"

namespace common {

ServiceStatusLookup LookUpServiceStatus(const wchar_t* name) noexcept {
  ServiceStatusLookup lookup;
  const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    lookup.error = GetLastError();
    return lookup;
  }
  const UniqueServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
  if (!service) {
    lookup.failed_step = ServiceLookupStep::kOpenService;
    lookup.error = GetLastError();
    return lookup;
  }
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof(status), &needed)) {
    lookup.failed_step = ServiceLookupStep::kQueryStatus;
    lookup.error = GetLastError();
    return lookup;
  }
  lookup.status = status;
  return lookup;
}

}  // namespace common
