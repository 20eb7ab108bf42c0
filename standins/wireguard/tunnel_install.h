// "/installtunnelservice <config path>" and "/uninstalltunnelservice <tunnel name>": install and
// remove the tunnel service "WireGuardTunnel$<tunnel name>" in the service control manager.
// Both return the process exit code: 0 on success, otherwise after printing an English line.
#pragma once

#include <windows.h>

#include <string>

namespace wireguard_standin {

inline constexpr wchar_t kTunnelServicePrefix[] = L"WireGuardTunnel$";
inline constexpr wchar_t kTunnelServiceSwitch[] = L"/tunnelservice";

// The tunnel's name: the config file's name without its folder and extension.
std::wstring TunnelNameOfConfig(const std::wstring& config_path);

[[nodiscard]] DWORD InstallTunnelService(const std::wstring& config_path);
[[nodiscard]] DWORD UninstallTunnelService(const std::wstring& tunnel_name);

}  // namespace wireguard_standin
