// What a view controller of the stand-in holds: the engine it took over, the view window, the
// Dart program drawn in it and the control pipe's server.
#pragma once

#include <memory>

#include "standins/flutter_embedding/control_pipe.h"
#include "standins/flutter_embedding/dart_program.h"
#include "standins/flutter_embedding/engine.h"
#include "standins/flutter_embedding/view_window.h"

namespace standin {

class ViewController {
 public:
  // Takes `engine` whatever the outcome; null (and the engine ended) when no view can be made.
  static std::unique_ptr<ViewController> Create(int width, int height,
                                                std::unique_ptr<Engine> engine);
  // Stops the control pipe's thread, then ends engine, view and program.
  ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  ViewWindow& view() noexcept { return *view_; }

 private:
  ViewController() = default;

  std::unique_ptr<Engine> engine_;
  std::unique_ptr<ViewWindow> view_;
  std::unique_ptr<DartProgram> dart_;
  std::unique_ptr<ControlServer> control_;
};

}  // namespace standin
