// Whether the folders of the config store are ours. The config carries the tunnel's private key
// and the service writes it as LocalSystem under ProgramData, where any user may create folders
// first and owns what they create. Such a folder is never adopted: rights granted to a handle
// when it was opened survive any later change of the folder's permissions, so its maker could
// still read the key or swap the file after a take-over. A folder that is not ours is moved aside
// and a fresh one created (see config_directory.h).
#pragma once

#include <windows.h>

#include "common/unique_handle.h"

namespace tunnel_helper {

// Full access for LocalSystem and the Administrators group only, owned by the Administrators,
// passed on to everything inside, nothing inherited from above: what the store's folders are
// created with.
inline constexpr wchar_t kConfigStoreSddl[] = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The same for a file, given explicitly rather than left to inheritance.
inline constexpr wchar_t kConfigFileSddl[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";

enum class StoreObject { kFolder, kFile };

// True when the owner is LocalSystem, the Administrators group or `account` (the account this
// process runs as: LocalSystem for the service), and no one else is allowed to write, add or
// delete children, delete, change the permissions or take ownership, nor to read the data of a
// file (for a folder: of the files that inherit its permissions). A missing or null DACL, and
// allow entries of kinds this check does not know, are not trusted.
[[nodiscard]] bool IsTrustedStoreDescriptor(PSECURITY_DESCRIPTOR descriptor, StoreObject kind,
                                            PSID account) noexcept;

// IsTrustedStoreDescriptor for the object behind `object` (opened with READ_CONTROL), with the
// account of this process. False when the descriptor or the account cannot be read.
[[nodiscard]] bool IsTrustedStoreObject(HANDLE object, StoreObject kind) noexcept;

// The self-relative descriptor of `sddl`; empty on failure, with GetLastError() set.
[[nodiscard]] common::UniqueLocalMemory SecurityDescriptorFromSddl(const wchar_t* sddl) noexcept;

// Enables the backup and restore privileges on this thread while it lives, so that LocalSystem
// can open, and move aside, an object whose maker has shut it out. Without them (a process that
// does not hold them) the opens run with the rights the caller has anyway.
class ScopedBackupPrivileges {
 public:
  ScopedBackupPrivileges() noexcept;
  ~ScopedBackupPrivileges();
  ScopedBackupPrivileges(const ScopedBackupPrivileges&) = delete;
  ScopedBackupPrivileges& operator=(const ScopedBackupPrivileges&) = delete;

 private:
  bool impersonating_ = false;
};

}  // namespace tunnel_helper
