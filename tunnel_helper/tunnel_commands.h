// The service's request handler: the commands "start", "stop" and "status" on the one tunnel.
// Runs on the pipe server's thread, one request at a time; a command blocks for the whole of its
// WireGuard runs and waits (up to about 15 s each). Every outcome, bad input included, is a
// response; only running out of memory throws (std::bad_alloc).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/helper_protocol.h"
#include "tunnel_helper/tunnel_service_state.h"

namespace tunnel_helper {

// The largest config accepted, in bytes of the decoded string.
inline constexpr std::size_t kMaxWireGuardConfigBytes = 65536;

// How long the commands wait for the tunnel service; the default is the product's, tests shorten
// it.
struct TunnelCommandOptions {
  DWORD wait_limit_ms = kTunnelServiceWaitTimeoutMs;
};

// Carries out the request's command: "start" with its config, "stop" or "status".
[[nodiscard]] common::HelperResponse RunTunnelCommand(const common::HelperRequest& request);

// Stores the config, removes any earlier tunnel, installs the tunnel and waits until it runs.
[[nodiscard]] common::HelperResponse StartTunnel(std::string_view config,
                                                 const TunnelCommandOptions& options = {});

// Removes the tunnel if its service runs and waits until it no longer does.
[[nodiscard]] common::HelperResponse StopTunnel(const TunnelCommandOptions& options = {});

// Whether the tunnel service runs.
[[nodiscard]] common::HelperResponse GetTunnelStatus();

}  // namespace tunnel_helper
