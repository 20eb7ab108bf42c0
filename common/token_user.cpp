#include "common/token_user.h"

#include <sddl.h>

#include "common/unique_handle.h"

namespace common {

std::vector<BYTE> TokenUserSid(HANDLE token) {
  std::vector<BYTE> user(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size)) {
    return {};
  }
  const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

std::vector<BYTE> ProcessUserSid() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return {};
  return TokenUserSid(token.get());
}

std::wstring SidText(PSID sid) {
  UniqueLocalMemory text;
  if (!ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text.receive()))) return {};
  return static_cast<const wchar_t*>(text.get());
}

}  // namespace common
