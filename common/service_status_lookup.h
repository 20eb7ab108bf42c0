// A look at a Windows service's status, with no more access than that takes.
#pragma once

#include <windows.h>

#include <optional>

namespace common {

// Where a look stopped when it failed.
enum class ServiceLookupStep { kOpenManager, kOpenService, kQueryStatus };

struct ServiceStatusLookup {
  std::optional<SERVICE_STATUS_PROCESS> status;  // Nothing when the look failed.
  ServiceLookupStep failed_step = ServiceLookupStep::kOpenManager;
  DWORD error = ERROR_SUCCESS;  // The failed step's Windows error.
};

// The status of the service `name`, through SC_MANAGER_CONNECT and SERVICE_QUERY_STATUS only.
[[nodiscard]] ServiceStatusLookup LookUpServiceStatus(const wchar_t* name) noexcept;

}  // namespace common
