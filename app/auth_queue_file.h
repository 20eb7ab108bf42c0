// Where the queue file of sign-in links lives: "ZEQ VPN\auth_callbacks.txt" in the user's local
// application data, or in the temporary folder when LOCALAPPDATA is not set.
#pragma once

#include <optional>
#include <string>

namespace app {

// LOCALAPPDATA exactly as set, else the temporary folder; nothing when neither can be had, and
// then the queue is unavailable: no link is stored or read.
std::optional<std::wstring> LocalAppDataFolder();

std::optional<std::wstring> AuthQueueFilePath();

}  // namespace app
