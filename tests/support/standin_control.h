// Drives the stand-in embedding of a running app through its control pipe (the protocol is
// described in standins/flutter_embedding/control_pipe.cpp).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace test_support {

// Sends `request` to the stand-in of another process and returns the response, or a text
// starting with "client:" when the exchange failed within its 30 s.
std::string StandInRequest(const std::string& request);

// Dispatches this thread's messages until `done` holds or `timeout_ms` has passed; returns
// whether it holds. A stand-in in this process answers on this thread only while it pumps.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeout_ms);

}  // namespace test_support
