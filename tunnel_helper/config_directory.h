// The folders that hold the tunnel's config file. Each is ours or made fresh: one found in its
// place that is not ours is moved aside, never adopted, and a link there is refused rather than
// followed (see store_security.h).
#pragma once

#include <optional>
#include <string>

#include "common/unique_handle.h"
#include "tunnel_helper/machine_paths.h"

namespace tunnel_helper {

inline constexpr char kConfigDirectoryFailurePrefix[] =
    "Failed to prepare the WireGuard config directory: ";

// The store's two folders, held open without sharing deletion, so that neither can be renamed,
// deleted or replaced while they are held: keep them until WireGuard has read the config.
struct HeldConfigFolders {
  common::UniqueFileHandle product_folder;
  common::UniqueFileHandle config_folder;
};

// Makes sure "<ProgramData>\ZEQ VPN" and its "wireguard" folder exist and are ours. On failure,
// and when either is a link, returns nothing with `error_text` set to the failure prefix and the
// reason; nothing has been written then.
[[nodiscard]] std::optional<HeldConfigFolders> PrepareWireGuardConfigDirectory(
    const ConfigStorePaths& paths, std::string& error_text);

// The store folder at `path`, held open: created with the store's descriptor when missing; a
// file, or a folder that is not ours, found there is renamed to a name of its own beside it and a
// fresh folder created in its place, so that no handle opened before can reach what is written
// into it. On failure returns an empty handle with `error_text` set, as above.
[[nodiscard]] common::UniqueFileHandle OpenStoreFolder(const std::wstring& path,
                                                       std::string& error_text);

// True when `path` exists and is a reparse point: a junction or a symbolic link.
[[nodiscard]] bool IsLink(const std::wstring& path) noexcept;

// Notes in the log that the link at `path` is refused, and returns the failure prefix and the
// reason.
std::string RefuseLink(const std::wstring& path);

}  // namespace tunnel_helper
