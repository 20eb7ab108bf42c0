// Shared set-up for the tests that run the helper service under the real service control manager.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "common/helper_names.h"
#include "common/helper_protocol.h"
#include "common/unique_handle.h"
#include "tests/pipe/fingerprint.h"
#include "tests/support/windows_service.h"

namespace pipe_test {

// Registers "DAVIZATunnelHelper" to run `program`, starts it, and stops it again after the test,
// also when the test fails.
class HelperServiceTest : public ::testing::Test {
 protected:
  explicit HelperServiceTest(std::wstring program = L"test_helper_service.exe")
      : program_(std::move(program)) {}

  void SetUp() override {
    ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
    ASSERT_EQ(test_support::RegisterService(common::kHelperServiceName, program_), "");
    ASSERT_EQ(test_support::StartServiceAndWait(common::kHelperServiceName), "");
  }
  void TearDown() override {
    EXPECT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
  }

 private:
  std::wstring program_;
};

// The test service's answer to an "echo" of `request`, the request as it reads it.
inline std::string EchoOf(const std::string& request) {
  const std::optional<common::HelperRequest> read = common::DecodeHelperRequest(request);
  return R"({"ok":true,"message":")" + Fingerprint(common::EncodeHelperRequest(*read)) + "\"}";
}

// An "echo" request of exactly `size` bytes whose config varies with `seed`.
inline std::string EchoRequestOfSize(std::size_t size, unsigned seed = 0) {
  const std::size_t frame = common::EncodeHelperRequest({.command = "echo", .config = ""}).size();
  std::string config(size > frame ? size - frame : 0, 'a');
  for (std::size_t i = 0; i < config.size(); ++i) {
    config[i] = static_cast<char>('a' + (i * 31 + seed) % 26);  // Nothing that needs escaping.
  }
  return common::EncodeHelperRequest({.command = "echo", .config = config});
}

// A client that talks to the pipe by hand, as a misbehaving or foreign client would.
inline common::UniqueFileHandle ConnectRawClient() {
  if (!WaitNamedPipeW(common::kHelperPipeName, 5000)) return {};
  common::UniqueFileHandle pipe(CreateFileW(common::kHelperPipeName, GENERIC_READ | GENERIC_WRITE,
                                            0, nullptr, OPEN_EXISTING, 0, nullptr));
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (pipe) SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
  return pipe;
}

// Writes each of `messages` as one message on a raw client's pipe.
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

}  // namespace pipe_test
