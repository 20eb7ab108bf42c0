// The service host with a request handler made for tests: it reports what it received and can be
// told to take its time or to answer with a response of a given size.
//   "echo"     ok, message "<request bytes>:<FNV-1a hash of the request, hex>"
//   "sleep"    sets the event "Global\ZeqTestHelperSleeping" if it exists, waits <config> ms,
//              then ok with message "slept"
//   "respond"  ok with a message that makes the encoded response exactly <config> bytes
//   "throw"    throws std::bad_alloc
//   "fail-encode"  ok with a 10000-byte message, and the next allocation of more than 4096 bytes
//              (the encoding of that answer) throws std::bad_alloc
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "common/helper_protocol.h"
#include "common/unique_handle.h"
#include "tests/support/test_helper_service.h"
#include "tunnel_helper/service_host.h"

namespace {

std::atomic<bool> fail_next_large_allocation{false};

common::HelperResponse AnswerForTests(const common::HelperRequest& request) {
  const std::string& command = request.command;
  const std::string config = request.config.value_or("");
  common::HelperResponse response;
  response.ok = true;
  if (command == "echo") {
    response.message = test_support::Fingerprint(common::EncodeHelperRequest(request));
  } else if (command == "sleep") {
    const common::UniqueHandle sleeping(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, test_support::kSleepingEvent));
    if (sleeping) SetEvent(sleeping.get());
    Sleep(static_cast<DWORD>(std::strtoul(config.c_str(), nullptr, 10)));
    response.message = "slept";
  } else if (command == "respond") {
    const std::size_t total = std::strtoul(config.c_str(), nullptr, 10);
    const std::size_t frame = std::string(R"({"ok":true,"message":""})").size();
    response.message.assign(total > frame ? total - frame : 1, 'x');
  } else if (command == "throw") {
    throw std::bad_alloc();
  } else if (command == "fail-encode") {
    response.message.assign(10000, 'e');
    fail_next_large_allocation = true;
  } else {
    return common::MakeFailureResponse("Unsupported tunnel helper command.");
  }
  return response;
}

}  // namespace

void* operator new(std::size_t size) {
  if (size > 4096 && fail_next_large_allocation.exchange(false)) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return tunnel_helper::RunServiceHost(AnswerForTests);
}
