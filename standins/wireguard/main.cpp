// wireguard.exe, the stand-in: the command line of WireGuard for Windows that the tunnel helper
// uses, and the tunnel service that its install creates.
//
//   wireguard /installtunnelservice <config path>
//   wireguard /uninstalltunnelservice <tunnel name>
//   wireguard /tunnelservice <config path>      (run by the service control manager)

#include <windows.h>

#include <string_view>

#include "standins/wireguard/output.h"
#include "standins/wireguard/tunnel_install.h"
#include "standins/wireguard/tunnel_service.h"

int wmain(int argc, wchar_t** argv) {
  using namespace wireguard_standin;
  const std::wstring_view command = argc == 3 ? argv[1] : L"";
  if (command == kTunnelServiceSwitch) {
    return static_cast<int>(RunTunnelService(argv[2]));
  }
  AppendRunLog(argc, argv);
  if (command == L"/installtunnelservice") {
    return static_cast<int>(InstallTunnelService(argv[2]));
  }
  if (command == L"/uninstalltunnelservice") {
    return static_cast<int>(UninstallTunnelService(argv[2]));
  }
  WriteStandard(STD_ERROR_HANDLE,
                "Usage: wireguard /installtunnelservice CONFIG_PATH | /uninstalltunnelservice "
                "TUNNEL_NAME\r\n");
  return 2;
}
