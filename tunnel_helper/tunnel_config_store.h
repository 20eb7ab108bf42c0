// Stores the tunnel's WireGuard config in "C:\ProgramData\ZEQ VPN\wireguard\daviza.conf".
#pragma once

#include <string>
#include <string_view>

// Writes `config` byte for byte to a temporary file beside the config file and moves it over the
// config file in one step, so a reader sees the old or the new config, never a mix. Returns true
// when the config file now holds exactly `config`; otherwise false with `errorText` set, the
// earlier config file unchanged and no temporary file of ours left behind. Refuses, writing
// nothing, when a folder or either file is a link.
bool WriteWireGuardConfig(std::string_view config, std::string& errorText);
