// Stores the tunnel's WireGuard config in "<ProgramData>\ZEQ VPN\wireguard\daviza.conf".
#pragma once

#include <string>
#include <string_view>

#include "tunnel_helper/machine_paths.h"

namespace tunnel_helper {

// Writes `config` byte for byte to a new temporary file beside the config file and moves it over
// the config file in one step, so a reader sees the old or the new config, never a mix. Returns
// true when the config file now holds exactly `config`; otherwise false with `error_text` set, the
// earlier config file unchanged and no temporary file of ours left behind. Folders and files that
// are not ours are taken over first; a link in the place of either is refused and nothing is
// written.
[[nodiscard]] bool WriteWireGuardConfig(const ConfigStorePaths& paths, std::string_view config,
                                        std::string& error_text);

}  // namespace tunnel_helper
