// DACLs compared as SDDL text, both sides written by the same system routine, so that its own
// spelling (Wine writes GRGW as GWGR, for one) cannot tell them apart.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

// The DACL ("D:P(...)...") of the kernel object `object`, or of the file or folder at `path` (under
// Wine: from its Unix mode bits); "" when it cannot be read.
std::wstring DaclOf(HANDLE object);
std::wstring DaclOf(const std::wstring& path);

// `sddl`'s DACL as the system writes it back.
std::wstring NormalizedDacl(const wchar_t* sddl);

}  // namespace test_support
