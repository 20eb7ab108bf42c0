// setup_helper.exe: the steps of Setup, its uninstaller and the Windows Installer package that
// their scripting cannot take well. Each runs as its caller (elevated, or LocalSystem for the
// package's deferred steps) and answers with its exit code:
//   setup_helper close-apps "<install folder>\zeq_vpn.exe" [/force]
//       0 none was running, 1 every one ended (the caller may start the app again), 2 one still
//       runs: it did not close in time and /force was not given
//   setup_helper start-app "<install folder>\zeq_vpn.exe"
//       starts the app for the signed-in user, not elevated; 0 started, 3 not
//   setup_helper configure-service "<install folder>\tunnel_helper.exe"
//       sets up the registered tunnel helper service as it must run; 0 done, 3 not all of it
//   setup_helper create-data-folders
//       makes the service's folders in ProgramData as the service does; 0 done, 3 not
//   setup_helper end-tunnel [<product code>]
//       ends the tunnel, through the service while it runs; 0 done, 3 it may still run
//   setup_helper remove-data [<product code>]
//       removes the service's config and logs, once it has stopped; 0 done, 3 not all of it
//   setup_helper forget-link-protocol [<product code>]
//       removes the calling user's "daviza:" link registration; 0 done, 3 not
// The last three leave everything as it is when the package being removed, <product code>, is
// not the last version of ZEQ VPN installed: a newer one is removing it and keeps all that.
// 4 is a command line it does not know.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/link_protocol.h"
#include "installer/setup_helper/helper_service.h"
#include "installer/setup_helper/product_data.h"
#include "installer/setup_helper/running_apps.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 3;
constexpr int kUsage = 4;

int CloseApps(const std::wstring& program_path, bool end_the_rest) {
  switch (setup_helper::CloseRunningApps(program_path, setup_helper::kCloseWaitMs, end_the_rest)) {
    case setup_helper::CloseOutcome::kNoneRunning:
      return 0;
    case setup_helper::CloseOutcome::kClosed:
      return 1;
    case setup_helper::CloseOutcome::kStillRunning:
      return 2;
  }
  return kFailed;
}

int RemovalStep(std::wstring_view command) {
  if (command == L"end-tunnel") return setup_helper::EndTunnel() ? kDone : kFailed;
  if (command == L"remove-data") return setup_helper::RemoveProductData() ? kDone : kFailed;
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, app::kLinkProtocolKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? kDone : kFailed;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> arguments = app::CommandLineArguments(GetCommandLineW());
  const std::size_t count = arguments.size();
  const std::wstring_view command = count > 0 ? std::wstring_view(arguments[0]) : L"";
  int result = kUsage;
  if (command == L"close-apps" && (count == 2 || count == 3)) {
    const bool force = count == 3 && arguments[2] == L"/force";
    if (count == 2 || force) result = CloseApps(arguments[1], force);
  } else if (command == L"start-app" && count == 2) {
    result = setup_helper::StartAsShellUser(arguments[1]) ? kDone : kFailed;
  } else if (command == L"configure-service" && count == 2) {
    result = setup_helper::ConfigureHelperService(arguments[1]) ? kDone : kFailed;
  } else if (command == L"create-data-folders" && count == 1) {
    result = setup_helper::CreateProductDataFolders() ? kDone : kFailed;
  } else if ((command == L"end-tunnel" || command == L"remove-data" ||
              command == L"forget-link-protocol") &&
             (count == 1 || count == 2)) {
    result = count == 2 && setup_helper::AnotherVersionInstalled(arguments[1])
                 ? kDone
                 : RemovalStep(command);
  }
  return result;
}
