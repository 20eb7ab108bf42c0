// The client's side of the stand-in's control pipe, for the demo's standin_control.exe and the
// tests: one request, one response.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace standin {

inline constexpr wchar_t kControlPipeName[] = L"\\\\.\\pipe\\ZEQ.FlutterStandIn.Control";

// Waits up to 30 s for the pipe, sends `request` and returns the response; nothing (GetLastError
// says why) when the exchange failed.
std::optional<std::string> SendControlRequest(const std::string& request);

}  // namespace standin
