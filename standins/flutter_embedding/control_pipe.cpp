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

std::unique_ptr<ControlServer> ControlServer::Start(Engine& engine, ControlHandler handler) {
  std::unique_ptr<ControlServer> server(new ControlServer(engine, std::move(handler)));
  // Created here, not on the thread, so that the pipe exists once the view does.
  server->pipe_.reset(CreateNamedPipeW(
      kControlPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBufferBytes, kPipeBufferBytes, 0, nullptr));
  server->stop_event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  server->io_event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!server->pipe_ || !server->stop_event_ || !server->io_event_) return nullptr;
  server->thread_ = std::thread([raw = server.get()] { raw->Serve(); });
  return server;
}

ControlServer::~ControlServer() {
  if (stop_event_) SetEvent(stop_event_.get());
  if (thread_.joinable()) thread_.join();
}

bool ControlServer::WaitForIo(OVERLAPPED& overlapped, DWORD bound_ms, DWORD* bytes) {
  const HANDLE events[] = {overlapped.hEvent, stop_event_.get()};
  const DWORD waited = WaitForMultipleObjects(2, events, FALSE, bound_ms);
  if (waited != WAIT_OBJECT_0) {
    CancelIoEx(pipe_.get(), &overlapped);
    GetOverlappedResult(pipe_.get(), &overlapped, bytes, TRUE);  // until the cancel is done
    SetLastError(ERROR_OPERATION_ABORTED);
    return false;
  }
  return GetOverlappedResult(pipe_.get(), &overlapped, bytes, FALSE) != FALSE;
}

void ControlServer::Serve() noexcept {
  try {
    while (WaitForSingleObject(stop_event_.get(), 0) == WAIT_TIMEOUT) {
      OVERLAPPED overlapped = {};
      overlapped.hEvent = io_event_.get();
      ResetEvent(io_event_.get());
      DWORD bytes = 0;
      bool connected = ConnectNamedPipe(pipe_.get(), &overlapped) != FALSE;
      if (!connected) {
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
          connected = true;
        } else if (error == ERROR_IO_PENDING) {
          connected = WaitForIo(overlapped, INFINITE, &bytes);  // ends on the stop event
        }
      }
      if (connected) {
        ServeOneClient();
      } else {
        // A client that left before it was served; do not spin on a pipe that keeps failing.
        WaitForSingleObject(stop_event_.get(), 10);
      }
      DisconnectNamedPipe(pipe_.get());
    }
  } catch (...) {
    // Nothing may unwind out of the thread; the pipe simply stops being served.
  }
}

void ControlServer::ServeOneClient() {
  std::string request;
  char buffer[4096];
  for (;;) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = io_event_.get();
    ResetEvent(io_event_.get());
    DWORD bytes = 0;
    bool complete = ReadFile(pipe_.get(), buffer, sizeof(buffer), nullptr, &overlapped) != FALSE;
    DWORD error = complete ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING) {
      complete = WaitForIo(overlapped, kClientIoBoundMs, &bytes);
      error = complete ? ERROR_SUCCESS : GetLastError();
    } else {
      // The count of a read that ended at once also comes from the overlapped result.
      GetOverlappedResult(pipe_.get(), &overlapped, &bytes, FALSE);
    }
    if (!complete && error != ERROR_MORE_DATA) return;
    request.append(buffer, bytes);
    if (request.size() > kMaxRequestBytes) return;
    if (complete) break;
  }

  const std::string answer = Forward(request);
  OVERLAPPED overlapped = {};
  overlapped.hEvent = io_event_.get();
  ResetEvent(io_event_.get());
  DWORD bytes = 0;
  if (!WriteFile(pipe_.get(), answer.data(), static_cast<DWORD>(answer.size()), nullptr,
                 &overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return;
  }
  if (!WaitForIo(overlapped, kClientIoBoundMs, &bytes)) return;
  // Disconnecting throws away what the client has not read yet: wait (bounded) until it closes.
  overlapped = {};
  overlapped.hEvent = io_event_.get();
  ResetEvent(io_event_.get());
  char probe = 0;
  if (!ReadFile(pipe_.get(), &probe, 1, nullptr, &overlapped) &&
      GetLastError() == ERROR_IO_PENDING) {
    static_cast<void>(WaitForIo(overlapped, kClientIoBoundMs, &bytes));
  }
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
