// The registered window messages by which a later start of the app wakes the first instance.
// Both are posted to every top-level window (HWND_BROADCAST) with both parameters 0; the first
// instance's main window is the one that acts on them.
#pragma once

#include <windows.h>

namespace app {

// "DAVIZA.ActivateWindow": bring the main window to the front.
[[nodiscard]] UINT ActivateWindowMessageId() noexcept;
// "DAVIZA.AuthCallbackReady": sign-in links wait in the queue file.
[[nodiscard]] UINT AuthCallbackReadyMessageId() noexcept;

void PostActivateWindow() noexcept;
void PostAuthCallbackReady() noexcept;

}  // namespace app
