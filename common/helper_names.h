// The names by which the app and the service find each other.
#pragma once

namespace common {

inline constexpr wchar_t kHelperServiceName[] = L"DAVIZATunnelHelper";
inline constexpr wchar_t kHelperPipeName[] = L"\\\\.\\pipe\\DAVIZA.TunnelHelper";

}  // namespace common
