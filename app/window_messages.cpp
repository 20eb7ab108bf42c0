#include "app/window_messages.h"

namespace app {

UINT ActivateWindowMessageId() noexcept {
  static const UINT id = RegisterWindowMessageW(L"DAVIZA.ActivateWindow");
  return id;
}

UINT AuthCallbackReadyMessageId() noexcept {
  static const UINT id = RegisterWindowMessageW(L"DAVIZA.AuthCallbackReady");
  return id;
}

void PostActivateWindow() noexcept {
  PostMessageW(HWND_BROADCAST, ActivateWindowMessageId(), 0, 0);
}

void PostAuthCallbackReady() noexcept {
  PostMessageW(HWND_BROADCAST, AuthCallbackReadyMessageId(), 0, 0);
}

}  // namespace app
