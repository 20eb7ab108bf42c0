// The per-user registration of the "daviza:" link protocol, which makes Windows start this
// program with a sign-in link as its first argument.
#pragma once

#include <string>

namespace app {

// The key under HKEY_CURRENT_USER that holds the registration.
inline constexpr wchar_t kLinkProtocolKey[] = L"Software\\Classes\\daviza";

// Points HKEY_CURRENT_USER\Software\Classes\daviza at this program file: writes each of its four
// values that does not hold what it should, and tells the desktop when one changed. Runs at every
// start, so the registration follows the program wherever it was moved. Failures are silent;
// other values under the key are left alone.
void RegisterLinkProtocol();

}  // namespace app
