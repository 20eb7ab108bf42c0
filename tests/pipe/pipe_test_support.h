// Shared set-up for the tests that run the helper service under the real service control manager.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/helper_names.h"
#include "common/helper_protocol.h"
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
    if (start_on_set_up_) {
      ASSERT_EQ(test_support::StartServiceAndWait(common::kHelperServiceName), "");
    }
  }

  void TearDown() override {
    EXPECT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
  }

  bool start_on_set_up_ = true;

 private:
  std::wstring program_;
};

}  // namespace pipe_test

#include "common/unique_handle.h"

namespace pipe_test {

// A client that talks to the pipe by hand, as a misbehaving or foreign client would.
inline common::UniqueFileHandle ConnectRawClient() {
  if (!WaitNamedPipeW(common::kHelperPipeName, 5000)) return {};
  common::UniqueFileHandle pipe(CreateFileW(common::kHelperPipeName, GENERIC_READ | GENERIC_WRITE,
                                            0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (pipe) {
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
  }
  return pipe;
}

// An "echo" request of exactly `size` bytes whose config varies with `seed`.
inline std::string EchoRequestOfSize(std::size_t size, unsigned seed = 0) {
  const std::size_t frame = common::EncodeHelperRequest("echo", "").size();
  std::string config(size > frame ? size - frame : 0, 'a');
  for (std::size_t i = 0; i < config.size(); ++i) {
    config[i] = static_cast<char>('a' + (i * 31 + seed) % 26);  // Nothing that needs escaping.
  }
  return common::EncodeHelperRequest("echo", config);
}

}  // namespace pipe_test
