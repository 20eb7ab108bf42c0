// The helper pipe as tests drive it: the test service (tests/pipe/test_helper_service.cpp) behind
// it as "DAVIZATunnelHelper" under the real service control manager, a server of the test's own,
// and a client that talks to a pipe by hand, as a misbehaving or foreign client would.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "common/helper_names.h"
#include "common/unique_handle.h"
#include "tests/support/windows_service.h"

namespace test_support {

// Registers the test service, starts it, and stops it again after the test, also when the test
// fails.
class HelperServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RegisterService(common::kHelperServiceName, L"test_helper_service.exe"));
    ASSERT_TRUE(StartServiceAndWait(common::kHelperServiceName));
  }
  void TearDown() override { EXPECT_TRUE(StopServiceAndWait(common::kHelperServiceName)); }
};

// A message pipe server of the test's own: the far end for the client's reader, or, under a name
// the product serves, what a local attacker would create first. A new instance takes a client
// without being asked to connect, so nothing here waits: a test looks at what arrived once its
// client is done.
class PipeServer {
 public:
  explicit PipeServer(std::wstring name) : name_(std::move(name)) { ListenAgain(); }

  [[nodiscard]] bool valid() const { return pipe_.valid(); }
  [[nodiscard]] HANDLE get() const { return pipe_.get(); }

  // What the client wrote; empty when it wrote nothing.
  [[nodiscard]] std::string Received() const {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr)) return {};
    std::string bytes(available, '\0');
    DWORD read = 0;
    if (available > 0) ReadFile(pipe_.get(), bytes.data(), available, &read, nullptr);
    return bytes.substr(0, read);
  }

  // Closes the instance, which breaks a connected client's pipe, and opens a fresh one under the
  // name for the next client.
  void ListenAgain() {
    pipe_.reset();
    // Any number of instances, so that a server that would join the name is not kept out; buffers
    // large enough that a test writes its longest message before the client reads.
    pipe_.reset(CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                 PIPE_UNLIMITED_INSTANCES, 1 << 20, 1 << 20, 0, nullptr));
  }

 private:
  std::wstring name_;
  common::UniqueFileHandle pipe_;
};

// A client in message mode; empty when no instance frees up within 5 s.
inline common::UniqueFileHandle ConnectRawClient(const wchar_t* name = common::kHelperPipeName) {
  if (!WaitNamedPipeW(name, 5000)) return {};
  common::UniqueFileHandle pipe(
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (pipe) SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
  return pipe;
}

// Writes each of `messages` as one message.
inline ::testing::AssertionResult WriteMessages(HANDLE pipe,
                                                std::initializer_list<std::string_view> messages) {
  for (const std::string_view message : messages) {
    DWORD written = 0;
    if (!WriteFile(pipe, message.data(), static_cast<DWORD>(message.size()), &written, nullptr)) {
      return ::testing::AssertionFailure() << "WriteFile failed: " << GetLastError();
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace test_support
