// The one tunnel the service manages: its name, its WireGuard service and its config file.
#pragma once

// The tunnel's name: the base name of its config file and the argument of
// "/uninstalltunnelservice".
inline constexpr wchar_t kTunnelName[] = L"daviza";

// WireGuard names the service of a tunnel after the base name of its config file.
inline constexpr wchar_t kTunnelServiceName[] = L"WireGuardTunnel$daviza";

// Literal paths: the service looks up neither the ProgramData folder nor the environment.
inline constexpr wchar_t kProductDataDirectory[] = L"C:\\ProgramData\\ZEQ VPN";
inline constexpr wchar_t kWireGuardConfigDirectory[] = L"C:\\ProgramData\\ZEQ VPN\\wireguard";
inline constexpr wchar_t kWireGuardConfigPath[] =
    L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf";
inline constexpr wchar_t kWireGuardConfigTempPath[] =
    L"C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf.tmp";
