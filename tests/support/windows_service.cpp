#include "tests/support/windows_service.h"

#include "common/service_status_lookup.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tests/support/process.h"

namespace test_support {
namespace {

common::UniqueServiceHandle OpenNamedService(const std::wstring& name) {
  const common::UniqueServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return {};
  return common::UniqueServiceHandle(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
}

// Call it straight after the call that failed: it reads GetLastError() first.
::testing::AssertionResult Failed(const char* call, const std::wstring& name) {
  const DWORD error = GetLastError();
  return ::testing::AssertionFailure() << call << " failed for " << common::WideToUtf8(name) << ": "
                                       << error << " " << common::DescribeWindowsError(error);
}

::testing::AssertionResult InState(const std::wstring& name, const SERVICE_STATUS_PROCESS& status,
                                   const char* instead_of) {
  return ::testing::AssertionFailure()
         << common::WideToUtf8(name) << " is in state " << status.dwCurrentState << " (exit code "
         << status.dwWin32ExitCode << "), not " << instead_of;
}

bool IsStopped(const SERVICE_STATUS_PROCESS& status) {
  return status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == 0;
}

}  // namespace

::testing::AssertionResult RegisterService(const std::wstring& name, const std::wstring& program) {
  if (::testing::AssertionResult removed = RemoveService(name); !removed) return removed;
  const common::UniqueServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return Failed("OpenSCManagerW", name);
  const std::wstring command = BuiltProgram(program);
  const common::UniqueServiceHandle created(
      CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                     command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return created ? ::testing::AssertionSuccess() : Failed("CreateServiceW", name);
}

::testing::AssertionResult StartServiceAndWait(const std::wstring& name, DWORD limit_ms) {
  if (::testing::AssertionResult started = StartServiceWithoutWaiting(name); !started) {
    return started;
  }
  const SERVICE_STATUS_PROCESS status = WaitForService(
      name, limit_ms, [](const auto& s) { return s.dwCurrentState != SERVICE_START_PENDING; });
  if (status.dwCurrentState == SERVICE_RUNNING) return ::testing::AssertionSuccess();
  return InState(name, status, "running");
}

::testing::AssertionResult StartServiceWithoutWaiting(const std::wstring& name) {
  const common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return Failed("OpenServiceW", name);
  for (int attempt = 1;; ++attempt) {
    if (StartServiceW(service.get(), 0, nullptr)) return ::testing::AssertionSuccess();
    if (GetLastError() != kWineStartFailedUnderLoad || attempt == 3) {
      return Failed("StartServiceW", name);
    }
  }
}

::testing::AssertionResult SendServiceControl(const std::wstring& name, DWORD control) {
  const common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return Failed("OpenServiceW", name);
  SERVICE_STATUS status{};
  return ControlService(service.get(), control, &status) ? ::testing::AssertionSuccess()
                                                         : Failed("ControlService", name);
}

::testing::AssertionResult StopServiceAndWait(const std::wstring& name, DWORD limit_ms) {
  // A service still starting accepts no control yet.
  if (IsStopped(WaitForService(name, limit_ms, [](const auto& s) {
        return s.dwCurrentState != SERVICE_START_PENDING;
      }))) {
    return ::testing::AssertionSuccess();
  }
  // Refused when a stop is on its way already: the wait below tells.
  static_cast<void>(SendServiceControl(name, SERVICE_CONTROL_STOP));
  const SERVICE_STATUS_PROCESS status = WaitForService(name, limit_ms, IsStopped);
  return IsStopped(status) ? ::testing::AssertionSuccess() : InState(name, status, "stopped");
}

::testing::AssertionResult RemoveService(const std::wstring& name) {
  if (!StopServiceAndWait(name, 5000)) {
    const common::UniqueHandle process(
        OpenProcess(PROCESS_TERMINATE, FALSE, QueryService(name).dwProcessId));
    if (process) TerminateProcess(process.get(), 1);
    if (::testing::AssertionResult stopped = StopServiceAndWait(name, 5000); !stopped) {
      return stopped << ", even with its process killed";
    }
  }
  if (const common::UniqueServiceHandle service = OpenNamedService(name)) {
    if (!DeleteService(service.get())) return Failed("DeleteService", name);
  }
  return PollUntil([&] { return !OpenNamedService(name); }, 5000)
             ? ::testing::AssertionSuccess()
             : ::testing::AssertionFailure() << common::WideToUtf8(name) << " is known still";
}

SERVICE_STATUS_PROCESS QueryService(const std::wstring& name) {
  return common::LookUpServiceStatus(name.c_str()).status.value_or(SERVICE_STATUS_PROCESS{});
}

std::optional<ServiceConfig> QueryServiceConfiguration(const std::wstring& name) {
  const common::UniqueServiceHandle service = OpenNamedService(name);
  // 8 KiB is the most either answer takes.
  alignas(QUERY_SERVICE_CONFIGW) BYTE basic[8192];
  alignas(SERVICE_DESCRIPTIONW) BYTE description[8192];
  DWORD needed = 0;
  if (!service ||
      !QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(basic),
                           sizeof(basic), &needed) ||
      !QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, description,
                            sizeof(description), &needed)) {
    return std::nullopt;
  }
  const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(basic);
  const wchar_t* text = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description)->lpDescription;
  return ServiceConfig{config->dwServiceType,      config->dwStartType,   config->lpBinaryPathName,
                       config->lpServiceStartName, config->lpDisplayName, text ? text : L""};
}

}  // namespace test_support
