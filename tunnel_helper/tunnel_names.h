// The one tunnel the service manages: its name and its WireGuard service.
#pragma once

namespace tunnel_helper {

// The tunnel's name: the base name of its config file and the argument of
// "/uninstalltunnelservice".
inline constexpr wchar_t kTunnelName[] = L"daviza";

// WireGuard names the service of a tunnel after the base name of its config file.
inline constexpr wchar_t kTunnelServiceName[] = L"WireGuardTunnel$daviza";

}  // namespace tunnel_helper
