// The folders that hold the tunnel's config file: created with the store's own descriptor where
// missing, and held open, checked and taken over where they exist (see store_security.h). Links
// planted in their place are refused rather than followed.
#pragma once

#include <optional>
#include <string>

#include "common/unique_handle.h"
#include "tunnel_helper/machine_paths.h"

namespace tunnel_helper {

inline constexpr char kConfigDirectoryFailurePrefix[] =
    "Failed to prepare the WireGuard config directory: ";

// The store's two folders, held open so that neither can be renamed, deleted or replaced by a link
// while the config is written.
struct HeldConfigFolders {
  common::UniqueFileHandle product_folder;
  common::UniqueFileHandle config_folder;
};

// Makes sure "<ProgramData>\ZEQ VPN" and its "wireguard" folder exist and are ours. On failure, and
// when either folder is a link, returns nothing with `error_text` set to the failure prefix and the
// reason; nothing has been written then.
[[nodiscard]] std::optional<HeldConfigFolders> PrepareWireGuardConfigDirectory(
    const ConfigStorePaths& paths, std::string& error_text);

// True when `path` exists and is a reparse point: a junction or a symbolic link.
[[nodiscard]] bool IsLink(const std::wstring& path) noexcept;

// The failure prefix and the reason for refusing the link at `path`.
std::string LinkRefusalMessage(const std::wstring& path);

}  // namespace tunnel_helper
