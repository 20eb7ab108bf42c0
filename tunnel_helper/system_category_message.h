// The text a C++ runtime's system error category gives for a Windows error code.
#pragma once

#include <windows.h>

#include <string>

namespace tunnel_helper {

// The system's message for `code`: in US English if the system has it, else in the system's
// default language, else in any language; in the ANSI code page; without trailing blanks, tabs,
// carriage returns, line feeds and NULs. "unknown error" when the system has no message.
std::string SystemCategoryMessage(DWORD code);

}  // namespace tunnel_helper
