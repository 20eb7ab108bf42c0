// A client of the helper pipe in a process of its own, as another start of the app would be:
//   echo_client SEED
// sends 75 "echo" requests through the app's client, exits with 0 when each answer is its
// request's fingerprint, and else prints the first wrong answer and exits with 1.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/tunnel_helper_client.h"
#include "tests/support/test_helper_service.h"

int wmain(int argc, wchar_t** argv) {
  const unsigned seed = argc == 2 ? static_cast<unsigned>(_wtoi(argv[1])) : 0;
  for (unsigned i = 0; i < 75; ++i) {
    const std::string request = test_support::EchoRequestOfSize(40 + i * 7, seed * 1000 + i);
    const std::string message = app::SendHelperMessage(request).message;
    if (message != test_support::Fingerprint(request)) {
      std::printf("request %u: %s\n", i, message.c_str());
      return 1;
    }
  }
  return 0;
}
