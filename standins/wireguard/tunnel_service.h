// "/tunnelservice <config path>": the tunnel service itself, started by the service control
// manager. It reads the config, reports RUNNING (after "start-delay-ms", if given) and stays so
// until it is stopped.
#pragma once

#include <windows.h>

#include <string>

namespace wireguard_standin {

// Returns the process exit code once the service has stopped, or the dispatcher's error when the
// program was not started by the service control manager.
[[nodiscard]] DWORD RunTunnelService(const std::wstring& config_path);

}  // namespace wireguard_standin
