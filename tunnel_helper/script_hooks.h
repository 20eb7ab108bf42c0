// WireGuard runs the PreUp, PostUp, PreDown and PostDown lines of a config as commands, with the
// rights of the tunnel service (LocalSystem), wherever an administrator has enabled script
// execution. Any signed-in user can send a config, so the service refuses configs that hold them.
#pragma once

#include <string_view>

namespace tunnel_helper {

inline constexpr char kScriptHooksRefused[] =
    "WireGuard config contains script commands (PreUp, PostUp, PreDown or PostDown), which ZEQ VPN "
    "does not accept.";

// True when a line of `config`, in any section, sets one of the four keys, in any letter case and
// with any blanks around the key. What follows a "#" is a comment and does not count.
[[nodiscard]] bool ContainsScriptHooks(std::string_view config) noexcept;

}  // namespace tunnel_helper
