#include "tests/support/standin_control.h"

#include "standins/flutter_embedding/control_request.h"

namespace test_support {

std::string StandInRequest(const std::string& request) {
  return standin::SendControlRequest(request).value_or("client: no answer (" +
                                                       std::to_string(GetLastError()) + ")");
}

}  // namespace test_support
