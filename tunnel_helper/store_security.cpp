#include "tunnel_helper/store_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <initializer_list>
#include <vector>

#include "common/token_user.h"

namespace tunnel_helper {
namespace {

// What no one but the trusted accounts may have on a folder or file of the store.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) noexcept {
  return IsWellKnownSid(sid, type) != FALSE;
}

bool IsTrustedAccount(PSID sid, PSID account) noexcept {
  if (sid == nullptr || !IsValidSid(sid)) return false;
  return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
         (account != nullptr && IsValidSid(account) && EqualSid(sid, account));
}

bool IsAllowEntry(BYTE type) noexcept {
  return type != ACCESS_DENIED_ACE_TYPE && type != ACCESS_DENIED_OBJECT_ACE_TYPE &&
         type != ACCESS_DENIED_CALLBACK_ACE_TYPE && type != ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

}  // namespace

bool IsTrustedStoreDescriptor(PSECURITY_DESCRIPTOR descriptor, StoreObject kind,
                              PSID account) noexcept {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !IsTrustedAccount(owner, account)) {
    return false;
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
      dacl == nullptr) {
    return false;  // No DACL at all grants everyone everything.
  }
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (!IsAllowEntry(header->AceType)) continue;  // Denials only take rights away.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    if (IsTrustedAccount(const_cast<DWORD*>(&allowed->SidStart), account)) continue;
    ACCESS_MASK forbidden = kChangeRights;
    if (kind == StoreObject::kFile || (header->AceFlags & OBJECT_INHERIT_ACE) != 0) {
      forbidden |= kReadRights;
    }
    if ((allowed->Mask & forbidden) != 0) return false;
  }
  return true;
}

bool IsTrustedStoreObject(HANDLE object, StoreObject kind) noexcept {
  try {
    std::vector<BYTE> account = common::ProcessUserSid();
    if (account.empty()) return false;
    common::UniqueLocalMemory descriptor;
    if (GetSecurityInfo(object, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, descriptor.receive()) != ERROR_SUCCESS) {
      return false;
    }
    return IsTrustedStoreDescriptor(descriptor.get(), kind, account.data());
  } catch (...) {
    return false;  // Out of memory: nothing is trusted.
  }
}

common::UniqueLocalMemory SecurityDescriptorFromSddl(const wchar_t* sddl) noexcept {
  common::UniqueLocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                            descriptor.receive(), nullptr)) {
    return common::UniqueLocalMemory();
  }
  return descriptor;
}

ScopedBackupPrivileges::ScopedBackupPrivileges() noexcept {
  // On an impersonation token of the thread's own, so that the process's token stays as it was.
  if (!ImpersonateSelf(SecurityImpersonation)) return;
  impersonating_ = true;
  common::UniqueHandle token;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES, FALSE, token.receive())) {
    return;
  }
  for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
      AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
}

ScopedBackupPrivileges::~ScopedBackupPrivileges() {
  if (impersonating_) RevertToSelf();
}

}  // namespace tunnel_helper
