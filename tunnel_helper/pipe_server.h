// The server side of "\\.\pipe\DAVIZA.TunnelHelper": one instance, one client at a time, one
// request and one response per connection.
#pragma once

#include <windows.h>

#include "common/helper_protocol.h"

namespace tunnel_helper {

// Carries out one request. Runs on the pipe server's thread; the next client waits until it
// returns.
using RequestHandler = common::HelperResponse (*)(const common::HelperRequest& request);

inline constexpr wchar_t kHelperPipeSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;AU)";
inline constexpr DWORD kPipeBufferBytes = 65536;
inline constexpr DWORD kPipeRetryDelayMs = 1000;
// How long a connected client may take to send its request, and to take its response.
inline constexpr DWORD kClientIoTimeoutMs = 2000;
// How long a connected client may take to begin its request. The app writes its request as soon as
// it has connected; a client that keeps the one instance without a word holds up every other
// client this long at most, so that several such clients cannot use up a waiting client's 5 s.
inline constexpr DWORD kFirstRequestBytesTimeoutMs = 150;
// How long the instance stays unavailable after such a client.
inline constexpr DWORD kSilentClientPauseMs = 50;

// Serves clients until `stop_event` is set: reads each one's request (its beginning within
// kFirstRequestBytesTimeoutMs, all of it within kClientIoTimeoutMs), has `handler` carry it out,
// writes the response and waits, within kClientIoTimeoutMs, for the client to take it.
// `listening_event` is set once the first pipe instance exists, or once the first attempt to create
// it has failed (another process may hold the name; the server then retries every
// kPipeRetryDelayMs). A client that has connected is served to the end, also when the stop comes
// meanwhile.
void RunPipeServer(HANDLE stop_event, HANDLE listening_event, RequestHandler handler) noexcept;

}  // namespace tunnel_helper
