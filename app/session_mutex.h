// The named mutexes that instances of the app in one logon session share. An instance started
// with "Run as administrator" would create them with a DACL for administrators only, so that a
// later normal start (a browser opening a sign-in link) could not open them; they are therefore
// created with a DACL that also grants the user whose token this process runs with.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace app {

// "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;<the process's user>)"; empty when the user cannot be read.
[[nodiscard]] std::wstring SessionMutexSddl();

struct SessionMutex {
  common::UniqueHandle handle;
  DWORD error = ERROR_SUCCESS;  // GetLastError() right after the creation
};

// Creates or opens the mutex `name`, asking only for the rights a waiter needs.
[[nodiscard]] SessionMutex CreateSessionMutex(const wchar_t* name, bool initial_owner) noexcept;

}  // namespace app
