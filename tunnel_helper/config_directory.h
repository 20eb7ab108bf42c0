// The folders that hold the tunnel's config file. The config carries the tunnel's private key and
// the service writes it as LocalSystem under "C:\ProgramData", where any local user may create
// folders first and where inherited permissions let every local user read files. So the folders
// are created with a protected descriptor of their own, and links planted in their place are
// refused rather than followed.
#pragma once

#include <string>

#include "common/unique_handle.h"

// Full access for LocalSystem and the Administrators group only, inherited by everything inside,
// nothing inherited from above.
inline constexpr wchar_t kConfigDirectorySddl[] = L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

inline constexpr char kConfigDirectoryFailurePrefix[] =
    "Failed to prepare the WireGuard config directory: ";

// The self-relative descriptor of kConfigDirectorySddl, owned by the caller; empty on failure,
// with GetLastError() telling why.
UniqueLocalMemory BuildConfigDirectorySecurity();

// Creates "C:\ProgramData\ZEQ VPN" and its "wireguard" folder where missing, with the descriptor
// above. Existing folders are fine. On failure, and when either folder is a link, returns false
// with `errorText` set to the failure prefix and the reason.
bool PrepareWireGuardConfigDirectory(std::string& errorText);

// True when `path` exists and is a reparse point: a junction or a symbolic link.
bool IsLink(const wchar_t* path);

// The failure prefix and the reason for refusing the link at `path`.
std::string LinkRefusalMessage(const wchar_t* path);
