// The app's log, "%LOCALAPPDATA%\ZEQ VPN\logs\zeq_vpn.log": one line per event (see
// common/log_line.h), for the user to hand to support. Every start of the app writes to it.
#pragma once

#include <memory>

#include "common/log_file.h"

namespace app {

// The log, opened at its first line; nothing when the local application data folder cannot be
// had.
[[nodiscard]] std::unique_ptr<common::LogFile> MakeAppLog();

}  // namespace app
