// The service's data under ProgramData as the Windows Installer package sets it up and removes it:
// Setup and its uninstaller do the same in their script.
#pragma once

#include <string>

namespace setup_helper {

// Makes "<ProgramData>\ZEQ VPN" and its "wireguard" and "logs" folders as the service makes them,
// before any user can: what is found there that is not ours is set aside. False when one could not
// be made.
bool CreateProductDataFolders();

// Asks the service to stop the tunnel; when it cannot answer, stops it as the service would, with
// WireGuard. False when the tunnel may still run.
bool EndTunnel();

// Removes the service's config and logs, then their folders and "ZEQ VPN", by name and never
// through a link: a folder that is a link, or holds what is not ours, stays. False when something
// of ours could not be removed.
bool RemoveProductData();

// Whether a version of ZEQ VPN other than the package `product_code` is installed.
[[nodiscard]] bool AnotherVersionInstalled(const std::wstring& product_code);

}  // namespace setup_helper
