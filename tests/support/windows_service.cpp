#include "tests/support/windows_service.h"

#include <vector>

#include "common/service_status_lookup.h"
#include "common/unique_handle.h"
#include "tests/support/files.h"
#include "tests/support/process.h"

namespace test_support {
namespace {

common::UniqueServiceHandle OpenNamedService(const std::wstring& name) {
  const common::UniqueServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return {};
  return common::UniqueServiceHandle(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
}

std::string Failed(const char* call) {
  return std::string(call) + " failed: " + std::to_string(GetLastError());
}

bool IsStopped(const SERVICE_STATUS_PROCESS& status) {
  return status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == 0;
}

}  // namespace

std::string RegisterService(const std::wstring& name, const std::wstring& program) {
  const common::UniqueServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return Failed("OpenSCManagerW");
  const std::wstring command = BuiltProgram(program);
  if (const common::UniqueServiceHandle service = OpenNamedService(name)) {
    return ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr)
               ? ""
               : Failed("ChangeServiceConfigW");
  }
  const common::UniqueServiceHandle created(
      CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                     command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return created ? "" : Failed("CreateServiceW");
}

std::string StartServiceAndWait(const std::wstring& name, DWORD limit_ms) {
  if (const DWORD error = StartServiceWithoutWaiting(name); error != ERROR_SUCCESS) {
    return "StartServiceW failed: " + std::to_string(error);
  }
  const SERVICE_STATUS_PROCESS status = WaitForService(
      name, limit_ms, [](const auto& s) { return s.dwCurrentState != SERVICE_START_PENDING; });
  if (status.dwCurrentState == SERVICE_RUNNING) return "";
  return "service state " + std::to_string(status.dwCurrentState) + ", exit code " +
         std::to_string(status.dwWin32ExitCode);
}

DWORD StartServiceWithoutWaiting(const std::wstring& name) {
  const common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return GetLastError();
  for (int attempt = 1;; ++attempt) {
    if (StartServiceW(service.get(), 0, nullptr)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error != kWineStartFailedUnderLoad || attempt == 3) return error;
  }
}

DWORD SendServiceControl(const std::wstring& name, DWORD control) {
  const common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return GetLastError();
  SERVICE_STATUS status{};
  return ControlService(service.get(), control, &status) ? ERROR_SUCCESS : GetLastError();
}

bool StopServiceAndWait(const std::wstring& name, DWORD limit_ms) {
  // A service still starting accepts no control yet.
  if (IsStopped(WaitForService(name, limit_ms, [](const auto& s) {
        return s.dwCurrentState != SERVICE_START_PENDING;
      }))) {
    return true;
  }
  SendServiceControl(name, SERVICE_CONTROL_STOP);
  return IsStopped(WaitForService(name, limit_ms, IsStopped));
}

std::string RemoveService(const std::wstring& name) {
  if (!StopServiceAndWait(name, 5000)) {
    const common::UniqueHandle process(
        OpenProcess(PROCESS_TERMINATE, FALSE, QueryService(name).dwProcessId));
    if (process) TerminateProcess(process.get(), 1);
    if (!StopServiceAndWait(name, 5000)) return "the service does not stop";
  }
  if (const common::UniqueServiceHandle service = OpenNamedService(name)) {
    if (!DeleteService(service.get())) return Failed("DeleteService");
  }
  if (!PollUntil([&] { return !OpenNamedService(name); }, 5000)) {
    return "the service is still known";
  }
  return "";
}

SERVICE_STATUS_PROCESS QueryService(const std::wstring& name) {
  return common::LookUpServiceStatus(name.c_str()).status.value_or(SERVICE_STATUS_PROCESS{});
}

std::optional<ServiceConfig> QueryServiceConfiguration(const std::wstring& name) {
  const common::UniqueServiceHandle service = OpenNamedService(name);
  // Asks for the size first; the buffer is DWORD-aligned for the structures.
  const auto query = [](auto&& call) -> std::optional<std::vector<DWORD>> {
    DWORD needed = 0;
    call(nullptr, 0, &needed);
    std::vector<DWORD> buffer(needed / sizeof(DWORD) + 1);
    if (!call(reinterpret_cast<BYTE*>(buffer.data()), needed, &needed)) return std::nullopt;
    return buffer;
  };
  if (!service) return std::nullopt;
  const auto basic = query([&](BYTE* data, DWORD size, DWORD* needed) {
    return QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(data), size,
                               needed);
  });
  const auto description = query([&](BYTE* data, DWORD size, DWORD* needed) {
    return QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, data, size, needed);
  });
  if (!basic || !description) return std::nullopt;
  const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(basic->data());
  const wchar_t* text =
      reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description->data())->lpDescription;
  return ServiceConfig{config->dwServiceType,      config->dwStartType,   config->lpBinaryPathName,
                       config->lpServiceStartName, config->lpDisplayName, text ? text : L""};
}

}  // namespace test_support
