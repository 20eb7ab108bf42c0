#include "installer/setup_helper/helper_service.h"

#include <windows.h>

#include <sddl.h>

#include <array>

#include "common/helper_names.h"
#include "common/unique_handle.h"

namespace setup_helper {
namespace {

constexpr wchar_t kDisplayName[] = L"ZEQ VPN Tunnel Helper";
constexpr wchar_t kDescription[] =
    L"Starts, stops and reports the ZEQ VPN tunnel for the ZEQ VPN app. ZEQ VPN cannot connect "
    L"while it is stopped.";

// Windows' default service DACL (LocalSystem, Administrators, interactive and service logons), and
// Authenticated Users may read its status and configuration: the app checks that the pipe it talks
// to is served by this service's process, also when its user signed in other than interactively.
// Nobody but LocalSystem and Administrators may start, stop or reconfigure it.
constexpr wchar_t kServiceSddl[] =
    L"D:(A;;CCLCSWRPWPDTLOCRRC;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)(A;;CCLCSWLOCRRC;;;IU)"
    L"(A;;CCLCSWLOCRRC;;;SU)(A;;CCLCSWLORC;;;AU)";

// Restarted 5 s after each failure; the count starts again after a day without one.
constexpr DWORD kFailureResetSeconds = 86400;
constexpr DWORD kRestartDelayMs = 5000;

bool SetAccessRights(SC_HANDLE service) {
  common::UniqueLocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kServiceSddl, SDDL_REVISION_1,
          reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.receive()), nullptr)) {
    return false;
  }
  return SetServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, descriptor.get());
}

bool SetRestartOnFailure(SC_HANDLE service) {
  std::array<SC_ACTION, 3> restarts{};
  restarts.fill({SC_ACTION_RESTART, kRestartDelayMs});
  SERVICE_FAILURE_ACTIONSW failure_actions{};
  failure_actions.dwResetPeriod = kFailureResetSeconds;
  failure_actions.cActions = static_cast<DWORD>(restarts.size());
  failure_actions.lpsaActions = restarts.data();
  return ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure_actions);
}

}  // namespace

bool ConfigureHelperService(const std::wstring& program_path) {
  const common::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  const common::UniqueServiceHandle service(
      manager ? OpenServiceW(manager.get(), common::kHelperServiceName,
                             SERVICE_CHANGE_CONFIG | SERVICE_START | WRITE_DAC | READ_CONTROL)
              : nullptr);
  if (!service) return false;
  // Quoted: the path has blanks, and an unquoted one could start "C:\Program.exe" as LocalSystem.
  const std::wstring binary_path = L"\"" + program_path + L"\"";
  SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(kDescription)};
  const bool configured =
      ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                           SERVICE_ERROR_NORMAL, binary_path.c_str(), nullptr, nullptr, nullptr,
                           L"LocalSystem", L"", kDisplayName) &&
      ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
  const bool restarts = SetRestartOnFailure(service.get());
  return SetAccessRights(service.get()) && configured && restarts;
}

}  // namespace setup_helper
