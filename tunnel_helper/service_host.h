// The service's life under the service control manager: the dispatcher, ServiceMain, the control
// handler and the pipe server thread.
#pragma once

#include "tunnel_helper/pipe_server.h"

namespace tunnel_helper {

// Hands the process to the service control manager and returns the process exit code: 0 when the
// service ran and stopped, or when the program was started outside the service control manager;
// otherwise the dispatcher's error. `handler` serves every request for the life of the process.
[[nodiscard]] int RunServiceHost(RequestHandler handler);

}  // namespace tunnel_helper
