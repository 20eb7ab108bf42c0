// Whether the folders and files of the config store are ours. The config carries the tunnel's
// private key and the service writes it as LocalSystem under ProgramData, where any user may create
// folders first and owns what they create: such a folder would let its owner read the key, or
// swap the folder for a link so that LocalSystem writes, replaces or deletes a file of the user's
// choosing. So every existing folder and file is opened by handle, checked, and taken over when it
// is not ours.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace tunnel_helper {

// Full access for LocalSystem and the Administrators group only, owned by the Administrators,
// passed on to everything inside, nothing inherited from above: what the store's folders are
// created with and what a folder or file that is not ours is given.
inline constexpr wchar_t kConfigStoreSddl[] = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

enum class StoreObject { kFolder, kFile };

// True when the owner is LocalSystem or the Administrators group, and no one else is allowed to
// write, add or delete children, delete, change the permissions or take ownership, nor to read
// the data of a file (for a folder: of the files that inherit its permissions). A missing or null
// DACL, and allow entries of kinds this check does not know, are not trusted.
[[nodiscard]] bool IsTrustedStoreDescriptor(PSECURITY_DESCRIPTOR descriptor,
                                            StoreObject kind) noexcept;

// The self-relative descriptor of kConfigStoreSddl; empty on failure, with GetLastError() set.
[[nodiscard]] common::UniqueLocalMemory BuildConfigStoreSecurity() noexcept;

// Opens the existing folder or file at `path` without following a link, and makes sure that it is
// ours: one that is not trusted is given the owner and DACL of kConfigStoreSddl through the handle.
// The handle shares reading and writing but not deletion, so while it is held the object cannot be
// renamed, deleted or replaced. On failure returns an empty handle and sets `error` to the Windows
// error, or to ERROR_REPARSE_TAG_MISMATCH when the object turned out to be a link.
[[nodiscard]] common::UniqueFileHandle OpenTrustedStoreObject(const std::wstring& path,
                                                              StoreObject kind,
                                                              DWORD& error) noexcept;

}  // namespace tunnel_helper
