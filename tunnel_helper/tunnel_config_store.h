// Stores the tunnel's WireGuard config in "<ProgramData>\ZEQ VPN\wireguard\daviza.conf".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/machine_paths.h"

namespace tunnel_helper {

// Writes `config` byte for byte to a new temporary file beside the config file, readable by
// LocalSystem and the Administrators only, and moves it over the config file in one step, so a
// reader sees the old or the new config, never a mix. Returns the store's folders, still held,
// once the config file holds exactly `config`; otherwise nothing with `error_text` set, the
// earlier config file unchanged and no temporary file of ours left behind. Folders that are not
// ours are replaced first (see config_directory.h); a link in the place of a folder or file is
// refused and nothing is written.
[[nodiscard]] std::optional<HeldConfigFolders> WriteWireGuardConfig(const ConfigStorePaths& paths,
                                                                    std::string_view config,
                                                                    std::string& error_text);

}  // namespace tunnel_helper
