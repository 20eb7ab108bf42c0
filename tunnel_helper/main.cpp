// tunnel_helper.exe: runs only as the service "DAVIZATunnelHelper"; no window, console or options.
#include <windows.h>

#include "common/log_file.h"
#include "tunnel_helper/service_host.h"
#include "tunnel_helper/service_log.h"
#include "tunnel_helper/tunnel_commands.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  common::SetProcessLog(tunnel_helper::MakeServiceLog());
  return tunnel_helper::RunServiceHost(tunnel_helper::RunTunnelCommand);
}
