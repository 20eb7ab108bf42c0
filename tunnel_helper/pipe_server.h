// The server side of "\\.\pipe\DAVIZA.TunnelHelper": one instance, one client at a time, one
// request and one response per connection.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/helper_protocol.h"
#include "tunnel_helper/pipe_io.h"

namespace tunnel_helper {

// Carries out one request. Runs on the pipe server's thread; the next client waits until it
// returns.
using RequestHandler = HelperResponse (*)(std::string_view request);

inline constexpr wchar_t kHelperPipeSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;AU)";
inline constexpr DWORD kPipeBufferBytes = 65536;
inline constexpr DWORD kPipeRetryDelayMs = 1000;
// How long a connected client may take to send its request, and to take its response. Short
// enough that a client queued behind a silent one still gets its turn within its own wait.
inline constexpr DWORD kClientIoTimeoutMs = 2000;

// Serves clients until `stop_event` is set. A client being served when the stop comes is served
// to the end; a client that has not finished sending its request is not.
void RunPipeServer(HANDLE stop_event, RequestHandler handler);

// Reads the first message on the connection. Gives up after kClientIoTimeoutMs or when the stop
// event is set. A message over `limit` bytes is read to its end and thrown away.
std::optional<std::string> ReadHelperRequest(PipeInstance& instance, std::size_t limit,
                                             std::string* error_text, HANDLE stop_event);

// Reads the request, has it carried out, writes the response and waits, within
// kClientIoTimeoutMs, for the client to take it.
void ServeConnection(PipeInstance& instance, RequestHandler handler, HANDLE stop_event);

}  // namespace tunnel_helper
