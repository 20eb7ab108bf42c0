// The state of WireGuard's tunnel service "WireGuardTunnel$daviza", read from the service control
// manager. The service only ever reads it; every change goes through a WireGuard run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tunnel_helper {

// The state code sent as "statusRaw". 3 is this system's own code, not the manager's
// SERVICE_RUNNING (4).
inline constexpr std::uint32_t kTunnelStateRunning = 3;
inline constexpr std::uint32_t kTunnelStateNotRunning = 0;

inline constexpr DWORD kTunnelServicePollIntervalMs = 250;
inline constexpr DWORD kTunnelServiceWaitTimeoutMs = 15000;

// kTunnelStateRunning when the tunnel service exists and runs, kTunnelStateNotRunning otherwise.
// A tunnel service that does not exist is not an error. On failure returns nothing and sets
// `error_text`, which is left alone otherwise.
[[nodiscard]] std::optional<std::uint32_t> QueryTunnelServiceState(std::string& error_text);

// Queries at once, then every kTunnelServicePollIntervalMs until the state is `wanted` (true) or
// more than `limit_ms` have passed (false). On false `error_text` holds the most recent query
// error, or the time-out reason when no query failed. A failed query does not end the wait.
[[nodiscard]] bool WaitForTunnelServiceState(std::uint32_t wanted, DWORD limit_ms,
                                             std::string& error_text);

// Whether a wait begun at tick `start` has run past `limit_ms` at tick `now`. The difference is
// taken in 32 bits, so the tick counter wrapping round (every 49.7 days) does no harm.
[[nodiscard]] bool TunnelWaitLimitPassed(DWORD start, DWORD now, DWORD limit_ms);

}  // namespace tunnel_helper
