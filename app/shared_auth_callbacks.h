// The queue file of sign-in links, "ZEQ VPN\auth_callbacks.txt" in the user's local application
// data, and the hand-over of links between starts of the app through it: a later start appends
// its links, the first instance takes them all. Every read and write of the file happens under the
// session-wide mutex "Local\DAVIZA.AuthQueue".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/unique_handle.h"

namespace app {

// LOCALAPPDATA exactly as set, else the temporary folder; nothing when neither can be had, and
// then the queue is unavailable: no link is stored or read.
std::optional<std::wstring> LocalAppDataFolder();

std::optional<std::wstring> AuthQueueFilePath();

// The mutex "Local\DAVIZA.AuthQueue", created without initial ownership and with the session
// mutexes' DACL; no handle on failure.
common::UniqueHandle CreateAuthQueueMutex() noexcept;

// Waits for the mutex on construction and releases it on destruction. A holder that ended without
// releasing it does not block the queue. The wait has no time-out: holders keep the lock only for
// one small file read and write.
class AuthQueueLock {
 public:
  AuthQueueLock() noexcept;
  ~AuthQueueLock();
  AuthQueueLock(const AuthQueueLock&) = delete;
  AuthQueueLock& operator=(const AuthQueueLock&) = delete;

  [[nodiscard]] bool obtained() const noexcept { return obtained_; }

 private:
  common::UniqueHandle mutex_;
  bool obtained_ = false;
};

// Appends `link` to the queue file under the AuthQueueLock. The link is dropped when the lock
// cannot be had or the queue is unavailable.
void EnqueueSharedAuthCallback(std::string_view link);

// Empties the queue file under the AuthQueueLock and returns its links in file order. Nothing when
// the lock cannot be had; the file then stays.
[[nodiscard]] std::vector<std::string> DrainSharedAuthCallbacks();

}  // namespace app
