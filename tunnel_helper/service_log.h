// The service's log, "<ProgramData>\ZEQ VPN\logs\tunnel_helper.log": one line per event (see
// common/log_line.h) for support engineers and administrators. Its folder is made and trusted as
// the config folders are (never adopted, never followed when a link), and the file is readable by
// LocalSystem and the Administrators only.
#pragma once

#include <memory>

#include "common/log_file.h"

namespace tunnel_helper {

inline constexpr wchar_t kServiceLogName[] = L"tunnel_helper.log";

// The log, opened at its first line; nothing is touched before.
[[nodiscard]] std::unique_ptr<common::LogFile> MakeServiceLog();

}  // namespace tunnel_helper
