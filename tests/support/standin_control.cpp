#include "tests/support/standin_control.h"

namespace test_support {

std::string StandInRequest(const std::string& request) {
  std::string response(1 << 20, '\0');
  DWORD read = 0;
  // The whole exchange in one call: wait for the pipe, open it, write, read one message, close.
  if (!CallNamedPipeW(L"\\\\.\\pipe\\ZEQ.FlutterStandIn.Control", const_cast<char*>(request.data()),
                      static_cast<DWORD>(request.size()), response.data(),
                      static_cast<DWORD>(response.size()), &read, 30000)) {
    return "client: no answer (" + std::to_string(GetLastError()) + ")";
  }
  response.resize(read);
  return response;
}

}  // namespace test_support
