// A bounded poll, for conditions that nothing signals (a service's state, a file that appears).
#pragma once

#include <windows.h>

namespace test_support {

// Checks `done` at once and then every `interval_ms` until it holds (true) or `limit_ms` have
// passed.
template <typename Condition>
[[nodiscard]] bool PollUntil(Condition done, DWORD limit_ms, DWORD interval_ms = 10) {
  const ULONGLONG deadline = GetTickCount64() + limit_ms;
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(interval_ms);
  }
  return true;
}

}  // namespace test_support
