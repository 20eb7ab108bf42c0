#include "flutter_glue/flutter_engine.h"

#include <utility>
#include <vector>

#include "flutter_glue/diagnostics.h"

namespace flutter {

FlutterEngine::FlutterEngine(const EngineProject& project) {
  // Pointers into `project`; the array only has to outlive the create call.
  std::vector<const char*> arguments;
  arguments.reserve(project.dart_entrypoint_arguments.size());
  for (const std::string& argument : project.dart_entrypoint_arguments) {
    arguments.push_back(argument.c_str());
  }
  FlutterDesktopEngineProperties properties = {};
  properties.assets_path = project.assets_path.c_str();
  properties.icu_data_path = project.icu_data_path.c_str();
  properties.aot_library_path = project.aot_library_path.c_str();
  properties.dart_entrypoint = project.dart_entrypoint.c_str();
  properties.dart_entrypoint_argc = static_cast<std::int32_t>(arguments.size());
  properties.dart_entrypoint_argv = arguments.empty() ? nullptr : arguments.data();
  properties.engine_option_1 = project.engine_option_1;
  properties.engine_option_2 = project.engine_option_2;
  engine_ = FlutterDesktopEngineCreate(&properties);

  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine_);
  if (messenger != nullptr) messenger_reference_.reset(FlutterDesktopMessengerAddRef(messenger));
  messenger_ = std::make_unique<BinaryMessengerImpl>(messenger);
}

FlutterEngine::~FlutterEngine() {
  if (engine_ != nullptr && owns_engine_) {
    static_cast<void>(FlutterDesktopEngineDestroy(engine_));
  }
  engine_ = nullptr;
  next_frame_callback_ = nullptr;
  // The handlers go before our reference to the messenger they were routed on.
  messenger_.reset();
}

FlutterDesktopEngineRef FlutterEngine::RelinquishEngine() noexcept {
  owns_engine_ = false;
  return engine_;
}

FlutterDesktopPluginRegistrarRef FlutterEngine::GetRegistrarForPlugin(
    const std::string& plugin_name) {
  if (engine_ == nullptr) {
    WriteDiagnosticLine(
        "Cannot get plugin registrar on an engine that isn't running; call Run first.");
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_, plugin_name.c_str());
}

void FlutterEngine::ReloadSystemFonts() { FlutterDesktopEngineReloadSystemFonts(engine_); }

void FlutterEngine::SetNextFrameCallback(std::function<void()> callback) {
  next_frame_callback_ = std::move(callback);
  FlutterDesktopEngineSetNextFrameCallback(engine_, &FlutterEngine::ForwardNextFrame, this);
}

void FlutterEngine::ForwardNextFrame(void* user_data) noexcept {
  auto* self = static_cast<FlutterEngine*>(user_data);
  // Emptied before it runs, so a callback that sets a new one keeps it.
  std::function<void()> callback = std::exchange(self->next_frame_callback_, nullptr);
  if (!callback) return;
  try {
    callback();
  } catch (...) {
    // Nothing may unwind into the embedding.
    WriteDiagnosticLine("Error: A next-frame callback failed with an exception.");
  }
}

}  // namespace flutter
