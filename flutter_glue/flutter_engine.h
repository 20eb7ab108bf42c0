// Owns an engine of the embedding until a view controller takes it over, and the messenger over
// it. Created, used and destroyed on the window thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "flutter_glue/binary_messenger.h"
#include "flutter_glue/binary_messenger_impl.h"
#include "flutter_glue/embedding_api.h"
#include "flutter_glue/engine_project.h"
#include "flutter_glue/plugin_registry.h"

namespace flutter {

class FlutterEngine : public PluginRegistry {
 public:
  // Creates the engine (not yet running). `project` need only live for the call. The handle is
  // null when the embedding refused the project.
  explicit FlutterEngine(const EngineProject& project);
  ~FlutterEngine() override;
  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  BinaryMessenger* GetMessenger() noexcept { return messenger_.get(); }

  // Hands the handle to a new owner; this object then never destroys it.
  [[nodiscard]] FlutterDesktopEngineRef RelinquishEngine() noexcept;

  // The new owner refused the engine and ended it: forget the handle, so nothing reaches a
  // destroyed engine through this object.
  void ForgetEndedEngine() noexcept { engine_ = nullptr; }

  FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(const std::string& plugin_name) override;

  void ReloadSystemFonts();

  // Runs `callback` once after the next frame; replaces a callback that has not run yet.
  void SetNextFrameCallback(std::function<void()> callback);

 private:
  static void ForwardNextFrame(void* user_data) noexcept;

  FlutterDesktopEngineRef engine_ = nullptr;
  // A counted reference of our own keeps the messenger object valid for as long as the
  // BinaryMessengerImpl below points at it, even after the engine has ended.
  std::unique_ptr<FlutterDesktopMessenger, decltype(&FlutterDesktopMessengerRelease)>
      messenger_reference_{nullptr, &FlutterDesktopMessengerRelease};
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool owns_engine_ = true;
  std::function<void()> next_frame_callback_;
};

}  // namespace flutter
