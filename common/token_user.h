// The account a token stands for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace common {

// The user SID of `token` (opened with TOKEN_QUERY), as bytes that hold a SID; empty when the
// token cannot be read.
[[nodiscard]] std::vector<BYTE> TokenUserSid(HANDLE token);

// The same for this process's token.
[[nodiscard]] std::vector<BYTE> ProcessUserSid();

// `sid` as "S-1-5-…"; empty when it cannot be converted.
[[nodiscard]] std::wstring SidText(PSID sid);

}  // namespace common
