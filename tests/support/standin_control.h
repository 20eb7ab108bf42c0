// Drives the stand-in embedding from a test through its control pipe (the protocol is described
// in standins/flutter_embedding/control_pipe.cpp). The stand-in answers from its window thread,
// which in a test is usually the test's own, so every wait here pumps that thread's messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace test_support {

// Sends `request` and returns the response, or a text starting with "client:" when the exchange
// failed or `timeout_ms` ran out.
std::string StandInRequest(const std::string& request, DWORD timeout_ms = 40000);

// Dispatches this thread's messages until `done` holds or `timeout_ms` has passed; returns
// whether it holds.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeout_ms);

}  // namespace test_support
