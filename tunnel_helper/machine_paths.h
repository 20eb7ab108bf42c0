// Where the service finds WireGuard and keeps the tunnel's config. "Program Files", "Program Files
// (x86)" and "ProgramData" are taken from the system's known folders: where Windows lives on
// another drive, C: may be a volume any user can write to, and a program planted there would run
// as LocalSystem.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tunnel_helper {

struct ConfigStorePaths {
  std::wstring program_data;    // <ProgramData>
  std::wstring product_folder;  // <ProgramData>\ZEQ VPN
  std::wstring config_folder;   // <ProgramData>\ZEQ VPN\wireguard
  std::wstring config_file;     // <ProgramData>\ZEQ VPN\wireguard\daviza.conf
  std::wstring temporary_file;  // <ProgramData>\ZEQ VPN\wireguard\daviza.conf.tmp
  std::wstring log_folder;      // <ProgramData>\ZEQ VPN\logs
};

// The paths under the machine's ProgramData folder; nothing when the system cannot say where that
// is, with `error_text` set to the config folder's failure and the reason.
[[nodiscard]] std::optional<ConfigStorePaths> ResolveConfigStorePaths(std::string& error_text);

// "<Program Files>\WireGuard\wireguard.exe", then the same under "Program Files (x86)", leaving
// out a folder the system cannot name.
[[nodiscard]] std::vector<std::wstring> WireGuardExeCandidates();

}  // namespace tunnel_helper
