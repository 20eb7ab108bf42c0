#include "standins/wireguard/tunnel_install.h"

#include "common/executable_path.h"
#include "common/file_bytes.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "standins/wireguard/directives.h"
#include "standins/wireguard/output.h"

namespace wireguard_standin {

namespace {

// Removing a tunnel waits this long for its service to stop.
constexpr DWORD kStopWaitMs = 10000;

DWORD Fail(const std::string& line, DWORD exit_code = 1) {
  WriteStandard(STD_ERROR_HANDLE, line + "\r\n");
  return exit_code;
}

DWORD FailWithError(const std::string& sentence, DWORD error) {
  return Fail(sentence + ": " + common::DescribeWindowsError(error));
}

bool WaitUntilStopped(SC_HANDLE service) {
  const DWORD start = GetTickCount();
  for (;;) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED) {
      return true;
    }
    if (GetTickCount() - start > kStopWaitMs) {
      return false;
    }
    Sleep(50);
  }
}

}  // namespace

std::wstring TunnelNameOfConfig(const std::wstring& config_path) {
  std::wstring name = config_path.substr(config_path.find_last_of(L"\\/") + 1);
  const std::size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

DWORD InstallTunnelService(const std::wstring& config_path) {
  DWORD error = 0;
  const std::optional<std::string> config = common::ReadWholeFile(config_path, &error);
  if (!config) {
    return FailWithError("Unable to read the configuration file", error);
  }
  const StandInDirectives directives = ReadDirectives();
  WriteStandard(STD_OUTPUT_HANDLE, JoinLines(directives.install_output));
  // In pieces, so that ten million lines need no more memory here than a few.
  std::string lines;
  for (DWORD line = 1; line <= directives.install_output_lines; ++line) {
    lines += "line " + std::to_string(line) + "\r\n";
    if (lines.size() >= (1u << 20) || line == directives.install_output_lines) {
      WriteStandard(STD_OUTPUT_HANDLE, lines);
      lines.clear();
    }
  }
  WriteStandard(STD_ERROR_HANDLE, JoinLines(directives.install_error));
  if (directives.install_exit != 0) {
    return directives.install_exit;
  }
  if (!HasInterfaceSection(*config)) {
    return Fail("Invalid configuration: the [Interface] section is missing.");
  }

  const std::wstring tunnel_name = TunnelNameOfConfig(config_path);
  const std::wstring service_name = kTunnelServicePrefix + tunnel_name;
  const std::wstring command_line = L"\"" + common::ExecutablePath() + L"\" " +
                                    kTunnelServiceSwitch + L" \"" + config_path + L"\"";
  const common::UniqueServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager) {
    return FailWithError("Unable to open the service manager", GetLastError());
  }
  const common::UniqueServiceHandle service(CreateServiceW(
      manager.get(), service_name.c_str(), (L"WireGuard Tunnel: " + tunnel_name).c_str(),
      SERVICE_START | SERVICE_QUERY_STATUS | DELETE, SERVICE_WIN32_OWN_PROCESS,
      SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command_line.c_str(), nullptr, nullptr, nullptr,
      nullptr, nullptr));
  if (!service) {
    const DWORD create_error = GetLastError();
    if (create_error == ERROR_SERVICE_EXISTS) {
      return Fail("Tunnel \"" + common::WideToUtf8(tunnel_name) + "\" is already installed.");
    }
    return FailWithError("Unable to create the tunnel service", create_error);
  }
  if (!StartServiceW(service.get(), 0, nullptr)) {
    const DWORD start_error = GetLastError();
    DeleteService(service.get());
    return FailWithError("Unable to start the tunnel service", start_error);
  }
  return 0;
}

DWORD UninstallTunnelService(const std::wstring& tunnel_name) {
  const common::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    return FailWithError("Unable to open the service manager", GetLastError());
  }
  const std::wstring service_name = kTunnelServicePrefix + tunnel_name;
  const common::UniqueServiceHandle service(OpenServiceW(
      manager.get(), service_name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    const DWORD open_error = GetLastError();
    if (open_error == ERROR_SERVICE_DOES_NOT_EXIST) {
      return Fail("Tunnel \"" + common::WideToUtf8(tunnel_name) + "\" is not installed.");
    }
    return FailWithError("Unable to open the tunnel service", open_error);
  }
  const StandInDirectives directives = ReadDirectives();
  WriteStandard(STD_OUTPUT_HANDLE, JoinLines(directives.uninstall_output));
  switch (directives.uninstall_action) {
    case UninstallAction::kKeep:
      break;
    case UninstallAction::kDeleteOnly:
      DeleteService(service.get());
      break;
    case UninstallAction::kRemove: {
      SERVICE_STATUS status{};
      ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
      if (!WaitUntilStopped(service.get())) {
        return Fail("The tunnel service did not stop.");
      }
      if (!DeleteService(service.get())) {
        return FailWithError("Unable to delete the tunnel service", GetLastError());
      }
      break;
    }
  }
  return directives.uninstall_exit;
}

}  // namespace wireguard_standin
