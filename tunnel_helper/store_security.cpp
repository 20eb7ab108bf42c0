#include "tunnel_helper/store_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <initializer_list>

namespace tunnel_helper {
namespace {

// What no one but LocalSystem and the Administrators may have on a folder or file of the store.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) noexcept {
  return sid != nullptr && IsValidSid(sid) && IsWellKnownSid(sid, type);
}

bool IsLocalSystemOrAdministrators(PSID sid) noexcept {
  return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid);
}

bool IsAllowEntry(BYTE type) noexcept {
  return type != ACCESS_DENIED_ACE_TYPE && type != ACCESS_DENIED_OBJECT_ACE_TYPE &&
         type != ACCESS_DENIED_CALLBACK_ACE_TYPE && type != ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// Enables the backup, restore and take-ownership privileges on this thread while it lives, so that
// LocalSystem can open, and take over, an object whose owner has shut it out. Without them (a
// process that does not hold them) the opens run with the rights the caller has anyway.
class ScopedTakeOverPrivileges {
 public:
  ScopedTakeOverPrivileges() noexcept {
    if (!ImpersonateSelf(SecurityImpersonation)) return;
    impersonating_ = true;
    common::UniqueHandle token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES, FALSE, token.receive())) {
      return;
    }
    for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME, SE_TAKE_OWNERSHIP_NAME}) {
      TOKEN_PRIVILEGES privileges{};
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
      }
    }
  }
  ~ScopedTakeOverPrivileges() {
    if (impersonating_) RevertToSelf();
  }
  ScopedTakeOverPrivileges(const ScopedTakeOverPrivileges&) = delete;
  ScopedTakeOverPrivileges& operator=(const ScopedTakeOverPrivileges&) = delete;

 private:
  bool impersonating_ = false;
};

bool IsReparsePoint(HANDLE object) noexcept {
  FILE_ATTRIBUTE_TAG_INFO info{};
  return GetFileInformationByHandleEx(object, FileAttributeTagInfo, &info, sizeof(info)) &&
         (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Gives the object the owner and DACL of kConfigStoreSddl.
DWORD TakeOver(HANDLE object) noexcept {
  const common::UniqueLocalMemory descriptor = BuildConfigStoreSecurity();
  if (!descriptor) return GetLastError();
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) {
    return GetLastError();
  }
  return SetSecurityInfo(
      object, SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      owner, nullptr, dacl, nullptr);
}

}  // namespace

bool IsTrustedStoreDescriptor(PSECURITY_DESCRIPTOR descriptor, StoreObject kind) noexcept {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !IsLocalSystemOrAdministrators(owner)) {
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
    if (IsLocalSystemOrAdministrators(const_cast<DWORD*>(&allowed->SidStart))) continue;
    ACCESS_MASK forbidden = kChangeRights;
    if (kind == StoreObject::kFile || (header->AceFlags & OBJECT_INHERIT_ACE) != 0) {
      forbidden |= kReadRights;
    }
    if ((allowed->Mask & forbidden) != 0) return false;
  }
  return true;
}

common::UniqueLocalMemory BuildConfigStoreSecurity() noexcept {
  common::UniqueLocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kConfigStoreSddl, SDDL_REVISION_1,
                                                            descriptor.receive(), nullptr)) {
    return common::UniqueLocalMemory();
  }
  return descriptor;
}

common::UniqueFileHandle OpenTrustedStoreObject(const std::wstring& path, StoreObject kind,
                                                DWORD& error) noexcept {
  const ScopedTakeOverPrivileges privileges;
  common::UniqueFileHandle object(
      CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!object) {
    error = GetLastError();
    return {};
  }
  if (IsReparsePoint(object.get())) {
    error = ERROR_REPARSE_TAG_MISMATCH;
    return {};
  }
  common::UniqueLocalMemory descriptor;
  const DWORD read = GetSecurityInfo(object.get(), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, nullptr, nullptr, descriptor.receive());
  if (read == ERROR_SUCCESS && IsTrustedStoreDescriptor(descriptor.get(), kind)) {
    return object;
  }
  const DWORD taken = TakeOver(object.get());
  if (taken != ERROR_SUCCESS) {
    error = taken;
    return {};
  }
  return object;
}

}  // namespace tunnel_helper
