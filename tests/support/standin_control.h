// Drives the stand-in embedding of a running app through its control pipe (the protocol is
// described in standins/flutter_embedding/control_pipe.cpp).
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

// Sends `request` to the stand-in of another process and returns the response, or a text
// starting with "client:" when the exchange failed within its 30 s.
std::string StandInRequest(const std::string& request);

}  // namespace test_support
