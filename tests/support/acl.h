// Comparing a DACL with the grants a test expects, entry by entry.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>

namespace test_support {

struct Grant {
  WELL_KNOWN_SID_TYPE account;
  ACCESS_MASK rights;
};

// Success when `dacl` holds exactly these allow entries, in this order.
::testing::AssertionResult HasExactGrants(PACL dacl, std::initializer_list<Grant> grants);

}  // namespace test_support
