#include "standins/flutter_embedding/view_controller.h"

#include "standins/flutter_embedding/control_commands.h"

namespace standin {

std::unique_ptr<ViewController> ViewController::Create(int width, int height,
                                                       std::unique_ptr<Engine> engine) {
  std::unique_ptr<ViewController> controller(new ViewController());
  controller->engine_ = std::move(engine);
  controller->view_ = ViewWindow::Create(*controller->engine_, width, height);
  if (!controller->view_) return nullptr;
  controller->dart_ = std::make_unique<DartProgram>(*controller->engine_, *controller->view_);
  controller->view_->SetClient(controller->dart_.get());
  controller->engine_->Start(controller->view_->hwnd(), controller->dart_.get());
  // Without the pipe (another view serves it) the app still runs; only the outside control is
  // missing.
  ViewController* raw = controller.get();
  controller->control_ = ControlServer::Create(
      *controller->engine_,
      [raw](const std::string& request, std::function<void(std::string)> answer) {
        RunControlCommand(request, *raw->engine_, *raw->view_, *raw->dart_, answer);
      });
  // The first frame is asked for from the queue, so it comes after whatever the app sends while
  // it sets up its window (as a real engine draws only once its Dart program runs): those
  // messages reach the Dart side while the window is still hidden. The pipe exists from now on
  // and is served once that frame is drawn: a real engine has no such thread to start first.
  static_cast<void>(controller->engine_->Post([raw] {
    raw->view_->RequestFrame();
    if (raw->control_) static_cast<void>(raw->engine_->Post([raw] { raw->control_->Serve(); }));
  }));
  return controller;
}

ViewController::~ViewController() {
  control_.reset();
  if (engine_) engine_->Stop();
  if (view_) view_->SetClient(nullptr);
  view_.reset();
  dart_.reset();
  engine_.reset();
}

}  // namespace standin
