// The control pipe through which tests and the scripted demo drive and watch the stand-in. The
// protocol is described in control_pipe.cpp.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/pipe_io.h"
#include "common/unique_handle.h"
#include "standins/flutter_embedding/control_request.h"
#include "standins/flutter_embedding/engine.h"

namespace standin {

// Runs on the window thread with one request; calls `answer` once, now or later.
using ControlHandler =
    std::function<void(const std::string& request, std::function<void(std::string)> answer)>;

// Serves the pipe on a thread of its own while a view exists. Every request is forwarded to the
// window thread through the engine's queue, and waited for with a bound.
class ControlServer {
 public:
  // The pipe, not yet served: a client may connect and waits for its answer until `Serve`. Null
  // when the pipe cannot be created (for example, another view of this machine serves it).
  static std::unique_ptr<ControlServer> Create(Engine& engine, ControlHandler handler);
  // Starts the thread that serves the pipe; once.
  void Serve();
  // Stops and joins the thread; a request in progress is abandoned.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

 private:
  ControlServer(Engine& engine, ControlHandler handler)
      : engine_(engine), handler_(std::move(handler)) {}
  void ServeClients() noexcept;
  void ServeOneClient();
  std::string Forward(const std::string& request);

  Engine& engine_;
  ControlHandler handler_;
  std::optional<common::PipeInstance> pipe_;
  common::UniqueHandle stop_event_;
  std::thread thread_;
};

}  // namespace standin
