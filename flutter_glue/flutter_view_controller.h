// Starts an engine from a project and holds the view it draws into. Creating the controller is
// what runs the engine; destroying it ends controller, view and engine. Window thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "flutter_glue/embedding_api.h"
#include "flutter_glue/engine_project.h"
#include "flutter_glue/flutter_engine.h"
#include "flutter_glue/flutter_view.h"

namespace flutter {

class FlutterViewController {
 public:
  // Never throws for a refusal: a controller the embedding refused logs "Failed to create view
  // controller." and has an engine object but no view.
  FlutterViewController(std::int32_t width, std::int32_t height, const EngineProject& project);
  virtual ~FlutterViewController();
  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  FlutterEngine* GetEngine() const noexcept { return engine_.get(); }
  FlutterView* GetView() const noexcept { return view_.get(); }

  void ForceRedraw();

  // The result when the engine consumed the top-level window's message; nothing when the caller
  // should handle it.
  std::optional<LRESULT> HandleTopLevelWindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                                  LPARAM lparam);

 private:
  FlutterDesktopViewControllerRef controller_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter
