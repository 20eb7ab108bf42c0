// tunnel_helper.exe: runs only as the service "DAVIZATunnelHelper"; no window, console or options.
#include <windows.h>

#include "common/helper_protocol.h"
#include "tunnel_helper/service_host.h"

namespace {

tunnel_helper::HelperResponse AnswerUnsupported(std::string_view /*request*/) {
  return MakeFailureResponse("Unsupported tunnel helper command.");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  return tunnel_helper::RunServiceHost(AnswerUnsupported);
}
