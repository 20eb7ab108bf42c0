#include "tests/support/windows_service.h"

#include "common/unique_handle.h"

namespace test_support {
namespace {

common::UniqueServiceHandle OpenManager() {
  return common::UniqueServiceHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

common::UniqueServiceHandle OpenNamedService(const std::wstring& name) {
  common::UniqueServiceHandle manager = OpenManager();
  if (!manager) return {};
  return common::UniqueServiceHandle(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
}

}  // namespace

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::string RegisterService(const std::wstring& name, const std::wstring& program) {
  common::UniqueServiceHandle manager = OpenManager();
  if (!manager) return "OpenSCManagerW failed: " + std::to_string(GetLastError());
  const std::wstring command = L"\"" + ProgramFolder() + L"\\" + program + L"\"";
  common::UniqueServiceHandle service(
      OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (service) {
    if (!ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                              SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr)) {
      return "ChangeServiceConfigW failed: " + std::to_string(GetLastError());
    }
    return {};
  }
  service.reset(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                               SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                               nullptr, nullptr));
  if (!service) return "CreateServiceW failed: " + std::to_string(GetLastError());
  return {};
}

std::string StartServiceAndWait(const std::wstring& name, DWORD timeout_ms) {
  common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return "OpenServiceW failed: " + std::to_string(GetLastError());
  if (!StartServiceW(service.get(), 0, nullptr)) {
    return "StartServiceW failed: " + std::to_string(GetLastError());
  }
  const SERVICE_STATUS_PROCESS status = WaitForService(
      name, timeout_ms,
      [](const SERVICE_STATUS_PROCESS& s) { return s.dwCurrentState != SERVICE_START_PENDING; });
  if (status.dwCurrentState != SERVICE_RUNNING) {
    return "service state " + std::to_string(status.dwCurrentState) + ", exit code " +
           std::to_string(status.dwWin32ExitCode);
  }
  return {};
}

DWORD StartServiceWithoutWaiting(const std::wstring& name) {
  common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return GetLastError();
  return StartServiceW(service.get(), 0, nullptr) ? ERROR_SUCCESS : GetLastError();
}

std::string DeleteServiceAndWait(const std::wstring& name, DWORD timeout_ms) {
  {
    common::UniqueServiceHandle service = OpenNamedService(name);
    if (!service) return "OpenServiceW failed: " + std::to_string(GetLastError());
    if (!DeleteService(service.get()))
      return "DeleteService failed: " + std::to_string(GetLastError());
  }
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (OpenNamedService(name)) {
    if (GetTickCount64() >= deadline) return "the service is still known";
    Sleep(10);
  }
  return {};
}

DWORD SendServiceControl(const std::wstring& name, DWORD control) {
  common::UniqueServiceHandle service = OpenNamedService(name);
  if (!service) return GetLastError();
  SERVICE_STATUS status{};
  return ControlService(service.get(), control, &status) ? ERROR_SUCCESS : GetLastError();
}

bool StopServiceAndWait(const std::wstring& name, DWORD timeout_ms) {
  const SERVICE_STATUS_PROCESS before = QueryService(name);
  if (before.dwCurrentState == 0 || before.dwCurrentState == SERVICE_STOPPED) return true;
  SendServiceControl(name, SERVICE_CONTROL_STOP);
  const SERVICE_STATUS_PROCESS after =
      WaitForService(name, timeout_ms, [](const SERVICE_STATUS_PROCESS& s) {
        return s.dwCurrentState == SERVICE_STOPPED || s.dwCurrentState == 0;
      });
  return after.dwCurrentState == SERVICE_STOPPED || after.dwCurrentState == 0;
}

SERVICE_STATUS_PROCESS QueryService(const std::wstring& name) {
  SERVICE_STATUS_PROCESS status{};
  common::UniqueServiceHandle service = OpenNamedService(name);
  DWORD needed = 0;
  if (!service ||
      !QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof(status), &needed)) {
    return SERVICE_STATUS_PROCESS{};
  }
  return status;
}

}  // namespace test_support
