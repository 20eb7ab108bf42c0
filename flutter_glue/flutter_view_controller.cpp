#include "flutter_glue/flutter_view_controller.h"

#include "flutter_glue/diagnostics.h"

namespace flutter {

FlutterViewController::FlutterViewController(std::int32_t width, std::int32_t height,
                                             const EngineProject& project)
    : engine_(std::make_shared<FlutterEngine>(project)) {
  controller_ = FlutterDesktopViewControllerCreate(width, height, engine_->RelinquishEngine());
  if (controller_ == nullptr) {
    // The embedding took the engine with the call and ended it on refusal; the engine object
    // must not use or destroy that handle again.
    engine_->ForgetEndedEngine();
    WriteDiagnosticLine("Failed to create view controller.");
    return;
  }
  view_ = std::make_unique<FlutterView>(FlutterDesktopViewControllerGetView(controller_));
}

FlutterViewController::~FlutterViewController() {
  if (controller_ != nullptr) FlutterDesktopViewControllerDestroy(controller_);
  view_.reset();
  engine_.reset();
}

void FlutterViewController::ForceRedraw() { FlutterDesktopViewControllerForceRedraw(controller_); }

std::optional<LRESULT> FlutterViewController::HandleTopLevelWindowProc(HWND hwnd, UINT message,
                                                                       WPARAM wparam,
                                                                       LPARAM lparam) {
  LRESULT result = 0;
  if (!FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, hwnd, message, wparam,
                                                            lparam, &result)) {
    return std::nullopt;
  }
  return result;
}

}  // namespace flutter
