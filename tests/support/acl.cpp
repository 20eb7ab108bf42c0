#include "tests/support/acl.h"

namespace test_support {

::testing::AssertionResult HasExactGrants(PACL dacl, std::initializer_list<Grant> grants) {
  if (dacl == nullptr) return ::testing::AssertionFailure() << "no DACL";
  if (dacl->AceCount != grants.size()) {
    return ::testing::AssertionFailure() << dacl->AceCount << " entries";
  }
  DWORD index = 0;
  for (const Grant& grant : grants) {
    void* entry = nullptr;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof(sid);
    if (!GetAce(dacl, index, &entry) ||
        !CreateWellKnownSid(grant.account, nullptr, sid, &sid_size)) {
      return ::testing::AssertionFailure() << "entry " << index << " unreadable";
    }
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || allowed->Mask != grant.rights ||
        !EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) {
      return ::testing::AssertionFailure()
             << "entry " << index << ": type " << int{allowed->Header.AceType} << ", rights 0x"
             << std::hex << allowed->Mask;
    }
    ++index;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace test_support
