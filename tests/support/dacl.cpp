#include "tests/support/dacl.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/unique_handle.h"

namespace test_support {
namespace {

std::wstring DaclText(PSECURITY_DESCRIPTOR descriptor) {
  common::UniqueLocalMemory text;
  if (descriptor == nullptr || !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                   descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                   reinterpret_cast<LPWSTR*>(text.receive()), nullptr)) {
    return {};
  }
  return static_cast<wchar_t*>(text.get());
}

}  // namespace

std::wstring DaclOf(HANDLE object) {
  common::UniqueLocalMemory descriptor;
  return GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                         nullptr, nullptr, descriptor.receive()) == ERROR_SUCCESS
             ? DaclText(descriptor.get())
             : L"";
}

std::wstring DaclOf(const std::wstring& path) {
  common::UniqueLocalMemory descriptor;
  return GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, nullptr, nullptr, descriptor.receive()) == ERROR_SUCCESS
             ? DaclText(descriptor.get())
             : L"";
}

std::wstring NormalizedDacl(const wchar_t* sddl) {
  common::UniqueLocalMemory descriptor;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.receive(),
                                                       nullptr);
  return DaclText(descriptor.get());
}

}  // namespace test_support
