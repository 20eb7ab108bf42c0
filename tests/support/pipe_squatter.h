// A pipe server of the test's own under a name the product serves, as a local attacker would
// create it first. A new instance takes a client without being asked to connect, so nothing here
// waits: a test looks at what arrived once its client is done.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace test_support {

class PipeSquatter {
 public:
  explicit PipeSquatter(const wchar_t* name) : name_(name) { ListenAgain(); }

  [[nodiscard]] bool valid() const { return pipe_.valid(); }

  // What the client wrote; empty when it wrote nothing.
  [[nodiscard]] std::string Received() const {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr)) return {};
    std::string bytes(available, '\0');
    DWORD read = 0;
    if (available > 0) ReadFile(pipe_.get(), bytes.data(), available, &read, nullptr);
    return bytes.substr(0, read);
  }

  // A fresh instance under the name, for the next client.
  void ListenAgain() {
    pipe_.reset();
    // Any number of instances, so that a server that would join the name is not kept out.
    pipe_.reset(CreateNamedPipeW(name_, PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                 PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, nullptr));
  }

 private:
  const wchar_t* name_;
  common::UniqueFileHandle pipe_;
};

}  // namespace test_support
