// The embedding's view: a child window that the main window makes its content.
#pragma once

#include "flutter_glue/embedding_api.h"

namespace flutter {

class FlutterView {
 public:
  // `view` is not owned; it lives as long as the view controller that made it.
  explicit FlutterView(FlutterDesktopViewRef view) noexcept : view_(view) {}
  virtual ~FlutterView() = default;
  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  HWND GetNativeWindow() const noexcept { return FlutterDesktopViewGetHWND(view_); }

 private:
  FlutterDesktopViewRef view_;
};

}  // namespace flutter
