// The app's main window: a Win32Window whose client area is the Flutter view. Once its window
// exists it starts the engine, registers the plugin, opens the App and Tunnel channels, hands the
// pending sign-in links to the Dart side and shows itself after the first frame; then it answers
// the registered messages by which later starts of the app wake it. Window thread only.
#pragma once

#include <memory>
#include <string>

#include "app/win32_window.h"
#include "flutter_glue/engine_project.h"
#include "flutter_glue/flutter_view_controller.h"
#include "flutter_glue/method_channel.h"

namespace app {

class FlutterWindow : public Win32Window {
 public:
  explicit FlutterWindow(const flutter::EngineProject& project);
  // The channels go first, then the view controller (which ends the engine).
  ~FlutterWindow() override;

  // Invokes "authCallback" with {"url": link} on the Dart side, without waiting for an answer.
  // Does nothing before the channels exist or after they are gone, and for what is not a link.
  void SendAuthCallbackToDart(const std::string& link);

 protected:
  bool HandleCreated() noexcept override;
  void HandleDestroyed() noexcept override;
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept override;

 private:
  [[nodiscard]] bool StartFlutter();
  void PushSharedAuthCallbacks();
  void BringToFront() noexcept;

  // Destroyed in reverse order: the channels, then the controller, then the project.
  flutter::EngineProject project_;
  std::unique_ptr<flutter::FlutterViewController> flutter_controller_;
  std::unique_ptr<flutter::MethodChannel<>> app_channel_;
  std::unique_ptr<flutter::MethodChannel<>> tunnel_channel_;
};

}  // namespace app
