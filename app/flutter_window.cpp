#include "app/flutter_window.h"

#include "app/app_channel.h"
#include "app/auth_callback_queue.h"
#include "app/plugin_registrant.h"
#include "app/shared_auth_callbacks.h"
#include "app/tunnel_channel.h"
#include "app/window_messages.h"
#include "flutter_glue/standard_method_codec.h"

namespace app {

FlutterWindow::FlutterWindow(const flutter::EngineProject& project) : project_(project) {}

FlutterWindow::~FlutterWindow() { HandleDestroyed(); }

void FlutterWindow::SendAuthCallbackToDart(const std::string& link) {
  if (!app_channel_ || !IsAuthCallbackLink(link)) return;
  app_channel_->InvokeMethod("authCallback",
                             std::make_unique<flutter::EncodableValue>(flutter::EncodableMap{
                                 {flutter::EncodableValue("url"), flutter::EncodableValue(link)}}));
}

bool FlutterWindow::HandleCreated() noexcept {
  if (!Win32Window::HandleCreated()) return false;
  try {
    return StartFlutter();
  } catch (...) {
    return false;  // Out of memory while setting up: no window to show.
  }
}

bool FlutterWindow::StartFlutter() {
  const RECT frame = ClientRect();
  flutter_controller_ = std::make_unique<flutter::FlutterViewController>(
      frame.right - frame.left, frame.bottom - frame.top, project_);
  flutter::FlutterEngine* engine = flutter_controller_->GetEngine();
  if (engine == nullptr || flutter_controller_->GetView() == nullptr) return false;
  UrlLauncherWindowsRegisterWithRegistrar(engine->GetRegistrarForPlugin("UrlLauncherWindows"));

  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  app_channel_ =
      std::make_unique<flutter::MethodChannel<>>(engine->GetMessenger(), kAppChannelName, &codec);
  tunnel_channel_ = std::make_unique<flutter::MethodChannel<>>(engine->GetMessenger(),
                                                               kTunnelChannelName, &codec);
  app_channel_->SetMethodCallHandler(HandleAppMethodCall);
  tunnel_channel_->SetMethodCallHandler(HandleTunnelMethodCall);

  // An elevated first instance would not receive what a normal later start posts: let these two
  // messages through, and nothing else.
  ChangeWindowMessageFilterEx(TopLevelHandle(), ActivateWindowMessageId(), MSGFLT_ALLOW, nullptr);
  ChangeWindowMessageFilterEx(TopLevelHandle(), AuthCallbackReadyMessageId(), MSGFLT_ALLOW,
                              nullptr);

  // Links that later starts queued while this one was starting become pending too; every
  // pending link is pushed, and stays pending for "consumeAuthCallback".
  for (const std::string& link : DrainSharedAuthCallbacks()) AddPendingAuthCallback(link);
  for (const std::string& link : PendingAuthCallbacks()) SendAuthCallbackToDart(link);

  AttachChild(flutter_controller_->GetView()->GetNativeWindow());
  engine->SetNextFrameCallback([this] { ShowNormal(); });
  flutter_controller_->ForceRedraw();
  return true;
}

void FlutterWindow::HandleDestroyed() noexcept {
  tunnel_channel_.reset();
  app_channel_.reset();
  flutter_controller_.reset();
}

void FlutterWindow::PushSharedAuthCallbacks() {
  for (const std::string& link : DrainSharedAuthCallbacks()) {
    AddPendingAuthCallback(link);
    SendAuthCallbackToDart(link);
  }
}

LRESULT FlutterWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept {
  try {
    if (flutter_controller_) {
      if (const std::optional<LRESULT> result =
              flutter_controller_->HandleTopLevelWindowProc(hwnd, message, wparam, lparam)) {
        return *result;
      }
    }
    if (message == AuthCallbackReadyMessageId()) {
      PushSharedAuthCallbacks();
      BringToFront();
      return 0;
    }
    if (message == ActivateWindowMessageId()) {
      BringToFront();
      return 0;
    }
    if (message == WM_FONTCHANGE && flutter_controller_) {
      flutter_controller_->GetEngine()->ReloadSystemFonts();
    }
  } catch (...) {
    // Nothing unwinds into the window manager; the message gets its default handling.
  }
  return Win32Window::HandleMessage(hwnd, message, wparam, lparam);
}

void FlutterWindow::BringToFront() noexcept {
  const HWND window = TopLevelHandle();
  if (window == nullptr) return;
  ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
  BringWindowToTop(window);
  SetForegroundWindow(window);
  SetFocus(window);
}

}  // namespace app
