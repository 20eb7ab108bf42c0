#include "standins/flutter_embedding/control_request.h"

namespace standin {

std::optional<std::string> SendControlRequest(const std::string& request) {
  std::string response(1 << 20, '\0');
  DWORD read = 0;
  // The whole exchange in one call: wait for the pipe, open it, write, read one message, close.
  if (!CallNamedPipeW(kControlPipeName, const_cast<char*>(request.data()),
                      static_cast<DWORD>(request.size()), response.data(),
                      static_cast<DWORD>(response.size()), &read, 30000)) {
    return std::nullopt;
  }
  response.resize(read);
  return response;
}

}  // namespace standin
