#include "app/session_mutex.h"

#include <sddl.h>

#include <vector>

#include "common/token_user.h"

namespace app {

std::wstring SessionMutexSddl() {
  std::vector<BYTE> user = common::ProcessUserSid();
  const std::wstring sid = user.empty() ? std::wstring() : common::SidText(user.data());
  return sid.empty() ? std::wstring() : L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + sid + L")";
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
