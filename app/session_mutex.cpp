#include "app/session_mutex.h"

#include <sddl.h>

namespace app {

std::wstring SessionMutexSddl() {
  common::UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    return {};
  }
  common::UniqueLocalMemory user;
  if (!ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid,
                              reinterpret_cast<LPWSTR*>(user.receive()))) {
    return {};
  }
  return L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + std::wstring(static_cast<wchar_t*>(user.get())) +
         L")";
}

SessionMutex CreateSessionMutex(const wchar_t* name, bool initial_owner) noexcept {
  common::UniqueLocalMemory descriptor;
  try {
    const std::wstring sddl = SessionMutexSddl();
    if (!sddl.empty()) {
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                           descriptor.receive(), nullptr);
    }
  } catch (...) {
    // Without the descriptor the mutex gets the default DACL, as it always did.
  }
  SECURITY_ATTRIBUTES security{sizeof(security), descriptor.get(), FALSE};
  SessionMutex mutex;
  mutex.handle.reset(CreateMutexExW(descriptor ? &security : nullptr, name,
                                    initial_owner ? CREATE_MUTEX_INITIAL_OWNER : 0,
                                    SYNCHRONIZE | MUTEX_MODIFY_STATE));
  mutex.error = GetLastError();
  return mutex;
}

}  // namespace app
