// The app's processes that run from one install folder: found by their program's full path, asked
// to close through their main windows, and ended when they do not and the caller says so.
#pragma once

#include <windows.h>

#include <string>

namespace setup_helper {

enum class CloseOutcome {
  kNoneRunning,   // nothing ran from that program
  kClosed,        // every process that ran has ended
  kStillRunning,  // one ran on past the wait and was not ended
};

// How long the app gets to save and exit after its windows were asked to close.
inline constexpr DWORD kCloseWaitMs = 10000;

// Posts WM_CLOSE to every main window of every process running `program_path`, waits up to
// `wait_ms` for them all to end, and, when `end_the_rest`, ends those still running. A process
// in another session, whose windows cannot be reached from here, only ends that way.
[[nodiscard]] CloseOutcome CloseRunningApps(const std::wstring& program_path, DWORD wait_ms,
                                            bool end_the_rest);

// Starts `program_path` as the user of the desktop's shell runs programs: not elevated, in the
// user's own session, although the caller may be elevated. False when there is no shell to take
// the user from, or the start fails.
[[nodiscard]] bool StartAsShellUser(const std::wstring& program_path);

}  // namespace setup_helper
