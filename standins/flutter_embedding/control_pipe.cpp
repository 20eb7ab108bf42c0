// The stand-in embedding's control pipe, "\\.\pipe\ZEQ.FlutterStandIn.Control": served while a
// view exists, message mode, one request message and one response message per connection.
//
// A request is text: its first line is the command; anything after the first LF is its payload.
//
//   invoke <channel> <method> <none|config|url>
//       Calls <method> on <channel> as the Dart side would, on the window thread. The arguments:
//       none: no arguments (null); config: {"config": <payload>}; url: {"url": <payload>}.
//       Response: the answer, one of
//         success null | success int <n> | success string <text> | success bool <true|false> |
//         success double <x> | success list [a, b] | success map {key: value, ...} |
//         error <code> LF <message> | notimplemented | undecodable |
//         noreply   (no answer within 30 seconds)
//   click connect | click disconnect
//       Clicks the button. Response: ok (the calls it makes show in the events).
//   events
//       Every event so far, one per line, in order:
//         started <argc>                      when the engine starts, then one line per argument:
//         arg <text>
//         frame <n>                           each rendered frame, from 1
//         call <channel> <method>             a call made by the Dart side (buttons, invoke)
//         reply <channel> <method> <answer>   its answer, as above on one line ("error <code>
//                                             <message>")
//         received <channel> <method> visible=<0|1> <arguments>
//                                             a call from the native side; visible: whether the
//                                             top-level window holding the view was visible;
//                                             arguments as null, text, [a, b] or {key: value}
//         fonts-reloaded                      the app asked for the system fonts to be reloaded
//       Line feeds inside an event are written as the two characters \n (carriage returns \r).
//   times
//       The events, each line led by the QueryPerformanceCounter reading when it happened and a
//       blank.
//   state
//       The lines the interface shows: "Tunnel: Connected|Disconnected|Unknown",
//       "Last error: <message>|none", "Sign-in links: <n>", then "Link: <url>" for each.
//
// Anything else is answered with "unknown command". Every response without a line feed of its
// own is one line with no line feed at its end.
//
// The environment variables the stand-in reads:
//   ZEQ_FLUTTER_STANDIN_REFUSE_VIEW=1   FlutterDesktopViewControllerCreate refuses (returns null)
//   ZEQ_FLUTTER_STANDIN_DPI=<n>         FlutterDesktopGetDpiForMonitor answers <n> for any monitor
#include "standins/flutter_embedding/control_pipe.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace standin {
namespace {

constexpr DWORD kMaxRequestBytes = 1 << 20;
constexpr DWORD kPipeBufferBytes = 64 * 1024;
constexpr DWORD kClientIoBoundMs = 5000;
constexpr DWORD kCommandBoundMs = 5000;
// A tunnel start may take the helper's whole wait for the tunnel service and more.
constexpr DWORD kInvokeBoundMs = 30000;

// One forwarded request; shared because the window thread may answer after the server gave up.
struct Exchange {
  std::mutex mutex;
  std::string answer;
  bool answered = false;
  common::UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace

std::unique_ptr<ControlServer> ControlServer::Create(Engine& engine, ControlHandler handler) {
  std::unique_ptr<ControlServer> server(new ControlServer(engine, std::move(handler)));
  // Created here, not on the thread, so that the pipe exists once the view does.
  common::UniqueFileHandle pipe(CreateNamedPipeW(
      kControlPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBufferBytes, kPipeBufferBytes, 0, nullptr));
  common::UniqueHandle io_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  server->stop_event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!pipe || !io_event || !server->stop_event_) return nullptr;
  server->pipe_.emplace(std::move(pipe), std::move(io_event));
  return server;
}

void ControlServer::Serve() {
  if (!thread_.joinable()) thread_ = std::thread([this] { ServeClients(); });
}

ControlServer::~ControlServer() {
  if (stop_event_) SetEvent(stop_event_.get());
  if (thread_.joinable()) thread_.join();
}

void ControlServer::ServeClients() noexcept {
  try {
    while (WaitForSingleObject(stop_event_.get(), 0) == WAIT_TIMEOUT) {
      const common::PipeIoResult connect = pipe_->Connect(stop_event_.get(), nullptr);
      if (connect.ok) {
        ServeOneClient();
      } else {
        // A client that left before it was served; do not spin on a pipe that keeps failing.
        WaitForSingleObject(stop_event_.get(), 10);
      }
      static_cast<void>(pipe_->Disconnect());
    }
  } catch (...) {
    // Nothing may unwind out of the thread; the pipe simply stops being served.
  }
}

void ControlServer::ServeOneClient() {
  const HANDLE stop = stop_event_.get();
  const common::Deadline request_deadline(kClientIoBoundMs);
  std::string request;
  char buffer[4096];
  for (;;) {
    const common::PipeIoResult read = pipe_->Read(buffer, sizeof(buffer), request_deadline, stop);
    if (!read.ok && read.error != ERROR_MORE_DATA) return;
    request.append(buffer, read.bytes);
    if (request.size() > kMaxRequestBytes) return;
    if (read.ok) break;
  }
  const std::string answer = Forward(request);
  const common::Deadline answer_deadline(kClientIoBoundMs);
  if (!pipe_->Write(answer.data(), static_cast<DWORD>(answer.size()), answer_deadline, stop).ok) {
    return;
  }
  // Disconnecting throws away what the client has not read yet.
  pipe_->WaitForClientToClose(answer_deadline, stop);
}

std::string ControlServer::Forward(const std::string& request) {
  auto exchange = std::make_shared<Exchange>();
  if (!exchange->done) return "noreply";
  const bool invoke = request.rfind("invoke ", 0) == 0;
  const bool queued = engine_.Post([handler = handler_, request, exchange] {
    handler(request, [exchange](std::string answer) {
      const std::lock_guard lock(exchange->mutex);
      if (exchange->answered) return;
      exchange->answer = std::move(answer);
      exchange->answered = true;
      SetEvent(exchange->done.get());
    });
  });
  if (!queued) return "noreply";
  const HANDLE events[] = {exchange->done.get(), stop_event_.get()};
  if (WaitForMultipleObjects(2, events, FALSE, invoke ? kInvokeBoundMs : kCommandBoundMs) !=
      WAIT_OBJECT_0) {
    return "noreply";
  }
  const std::lock_guard lock(exchange->mutex);
  return exchange->answer;
}

}  // namespace standin
