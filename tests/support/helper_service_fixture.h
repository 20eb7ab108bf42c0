// The tests that run the test service (tests/pipe/test_helper_service.cpp) as "DAVIZATunnelHelper"
// under the real service control manager.
#pragma once

#include <gtest/gtest.h>

#include "common/helper_names.h"
#include "tests/support/windows_service.h"

namespace test_support {

// Registers the test service, starts it, and stops it again after the test, also when the test
// fails.
class HelperServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StopServiceAndWait(common::kHelperServiceName));
    ASSERT_TRUE(RegisterService(common::kHelperServiceName, L"test_helper_service.exe"));
    ASSERT_TRUE(StartServiceAndWait(common::kHelperServiceName));
  }
  void TearDown() override { EXPECT_TRUE(StopServiceAndWait(common::kHelperServiceName)); }
};

}  // namespace test_support
