// The stand-in engine: the bundle it was created from, the routes of its messenger, the queue of
// work for the window thread, and the record of what happened (the control pipe's events).
//
// Threads: everything runs on the window thread except Post, Respond and the messenger's
// reference count and lock, which the exported functions allow from any thread. The messenger's
// mutex guards the state those share.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "flutter_glue/embedding_api.h"
#include "standins/flutter_embedding/wire_value.h"

namespace standin {
class Engine;

// The Dart program's side of the messenger.
class DartReceiver {
 public:
  virtual ~DartReceiver() = default;
  // A message from the native side; `reply` must be called once with the answer's bytes.
  virtual void ReceiveFromNative(const std::string& channel, const Bytes& message,
                                 std::function<void(Bytes)> reply) = 0;
};
}  // namespace standin

// Reference counted, so that the glue's replies may outlive the engine; `engine` is null once
// the engine has ended.
struct FlutterDesktopMessenger {
  std::recursive_mutex mutex;
  std::atomic<long> references{1};  // the engine's own
  standin::Engine* engine = nullptr;
};

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopMessengerRef messenger;
};

// One call from the Dart side waiting for the native side's answer.
struct FlutterDesktopMessageResponseHandle {
  std::function<void(standin::Bytes)> on_answer;
};

namespace standin {

class Engine {
 public:
  // Null when the bundle is broken: the assets folder is not a folder, or the ICU data or the
  // AOT library is missing. Relative paths are taken from the running program's folder.
  static std::unique_ptr<Engine> Create(const FlutterDesktopEngineProperties& properties);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  FlutterDesktopMessengerRef messenger() const noexcept { return messenger_; }
  const std::wstring& assets_folder() const noexcept { return assets_folder_; }
  FlutterDesktopPluginRegistrarRef Registrar(const std::string& plugin_name);

  // Starts running: work posted from now on runs on `wake_window`'s thread, messages for the
  // Dart side go to `dart`.
  void Start(HWND wake_window, DartReceiver* dart);
  // Stops running: queued work is dropped and replies still owed to the native side run once
  // with no answer (not implemented). Window thread.
  void Stop();

  // Queues `job` for the window thread; false when the engine does not run.
  [[nodiscard]] bool Post(std::function<void()> job);
  // Runs the queued work; the window calls it on its wake-up message.
  void RunPosted();
  static constexpr UINT kRunPostedMessage = WM_APP + 0x51;

  void SetRoute(const std::string& channel, FlutterDesktopMessageCallback callback,
                void* user_data);
  // Native side to Dart side: the bytes are copied at once and delivered from the queue.
  [[nodiscard]] bool SendToDart(const std::string& channel, const std::uint8_t* message,
                                std::size_t size, FlutterDesktopBinaryReply reply, void* user_data);
  // Dart side to native side, on the window thread: runs the channel's route now; `on_answer`
  // runs later from the queue with the answer (empty when no route or no answer bytes).
  void SendToNative(const std::string& channel, const Bytes& message,
                    std::function<void(Bytes)> on_answer);
  // Any thread: answers a call once; an unknown or used handle is ignored.
  void Respond(const FlutterDesktopMessageResponseHandle* handle, Bytes answer);

  void SetNextFrameCallback(FlutterDesktopOnNextFrameCallback callback, void* user_data);
  // After a frame was rendered: runs the next-frame callback once, if one is set.
  void FrameRendered();

  // What happened, in order, for the control pipe. Window thread.
  void AddEvent(std::string event);
  const std::vector<std::string>& events() const noexcept { return events_; }
  // When each event happened: QueryPerformanceCounter, which every process of the machine
  // reads alike, so that a program outside can time the app without looking while it runs.
  const std::vector<std::int64_t>& event_times() const noexcept { return event_times_; }

 private:
  Engine() = default;

  struct Route {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  struct OwedReply {
    FlutterDesktopBinaryReply reply;
    void* user_data;
  };

  void AnswerNative(std::uint64_t id, const Bytes& answer);

  FlutterDesktopMessengerRef messenger_ = nullptr;
  std::wstring assets_folder_;
  std::vector<std::string> arguments_;
  std::map<std::string, std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars_;
  std::map<std::string, Route> routes_;
  std::vector<std::string> events_;
  std::vector<std::int64_t> event_times_;
  FlutterDesktopOnNextFrameCallback next_frame_callback_ = nullptr;
  void* next_frame_user_data_ = nullptr;
  DartReceiver* dart_ = nullptr;

  // Guarded by the messenger's mutex: shared with other threads.
  HWND wake_window_ = nullptr;
  std::deque<std::function<void()>> queue_;
  std::map<const FlutterDesktopMessageResponseHandle*,
           std::unique_ptr<FlutterDesktopMessageResponseHandle>>
      open_calls_;
  std::map<std::uint64_t, OwedReply> owed_replies_;
  std::uint64_t next_reply_id_ = 1;
};

}  // namespace standin
