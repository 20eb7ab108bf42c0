// The tunnel helper service as both installers leave it, whichever registered it.
#pragma once

#include <string>

namespace setup_helper {

// Sets the registered service "DAVIZATunnelHelper" to run `program_path` (quoted) in a process of
// its own, started automatically as LocalSystem, with its display name and description, restarted
// after a failure, and with its access rights. False when any of it could not be set.
[[nodiscard]] bool ConfigureHelperService(const std::wstring& program_path);

}  // namespace setup_helper
