#include "standins/flutter_embedding/engine.h"

#include <utility>

#include "common/executable_path.h"

namespace standin {
namespace {

// A real engine takes relative bundle paths from the program's folder, not the working folder.
std::wstring Resolve(const wchar_t* path) {
  const std::wstring given = path == nullptr ? L"" : path;
  const bool absolute = (given.size() >= 2 && given[1] == L':') ||
                        (!given.empty() && (given[0] == L'\\' || given[0] == L'/'));
  return absolute ? given : common::ExecutableFolder() + L"\\" + given;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::unique_ptr<Engine> Engine::Create(const FlutterDesktopEngineProperties& properties) {
  const std::wstring assets = Resolve(properties.assets_path);
  if (!IsFolder(assets) || !IsFile(Resolve(properties.icu_data_path)) ||
      !IsFile(Resolve(properties.aot_library_path))) {
    return nullptr;
  }
  std::unique_ptr<Engine> engine(new Engine());
  engine->assets_folder_ = assets;
  for (std::int32_t i = 0; i < properties.dart_entrypoint_argc; ++i) {
    const char* argument = properties.dart_entrypoint_argv[i];
    engine->arguments_.emplace_back(argument == nullptr ? "" : argument);
  }
  engine->messenger_ = new FlutterDesktopMessenger();
  engine->messenger_->engine = engine.get();
  return engine;
}

Engine::~Engine() {
  {
    const std::lock_guard lock(messenger_->mutex);
    messenger_->engine = nullptr;
  }
  FlutterDesktopMessengerRelease(messenger_);
}

FlutterDesktopPluginRegistrarRef Engine::Registrar(const std::string& plugin_name) {
  std::unique_ptr<FlutterDesktopPluginRegistrar>& registrar = registrars_[plugin_name];
  if (!registrar) registrar.reset(new FlutterDesktopPluginRegistrar{messenger_});
  return registrar.get();
}

void Engine::Start(HWND wake_window, DartReceiver* dart) {
  {
    const std::lock_guard lock(messenger_->mutex);
    wake_window_ = wake_window;
  }
  dart_ = dart;
  AddEvent("started " + std::to_string(arguments_.size()));
  for (const std::string& argument : arguments_) AddEvent("arg " + argument);
}

void Engine::AddEvent(std::string event) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  events_.push_back(std::move(event));
  event_times_.push_back(now.QuadPart);
}

void Engine::Stop() {
  std::map<std::uint64_t, OwedReply> owed;
  {
    const std::lock_guard lock(messenger_->mutex);
    wake_window_ = nullptr;
    queue_.clear();
    open_calls_.clear();
    owed.swap(owed_replies_);
  }
  dart_ = nullptr;
  next_frame_callback_ = nullptr;
  // The promise is one run per reply; the Dart side never answered, so the answer is empty.
  for (const auto& [id, owed_reply] : owed) owed_reply.reply(nullptr, 0, owed_reply.user_data);
}

bool Engine::Post(std::function<void()> job) {
  const std::lock_guard lock(messenger_->mutex);
  if (wake_window_ == nullptr) return false;
  queue_.push_back(std::move(job));
  if (!PostMessageW(wake_window_, kRunPostedMessage, 0, 0)) {
    queue_.pop_back();
    return false;
  }
  return true;
}

void Engine::RunPosted() {
  for (;;) {
    std::function<void()> job;
    {
      const std::lock_guard lock(messenger_->mutex);
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    job();
  }
}

void Engine::SetRoute(const std::string& channel, FlutterDesktopMessageCallback callback,
                      void* user_data) {
  if (callback == nullptr) {
    routes_.erase(channel);
  } else {
    routes_[channel] = Route{callback, user_data};
  }
}

bool Engine::SendToDart(const std::string& channel, const std::uint8_t* message, std::size_t size,
                        FlutterDesktopBinaryReply reply, void* user_data) {
  Bytes bytes(message, message + size);
  std::uint64_t id = 0;
  if (reply != nullptr) {
    const std::lock_guard lock(messenger_->mutex);
    id = next_reply_id_++;
    owed_replies_[id] = OwedReply{reply, user_data};
  }
  const bool queued = Post([this, channel, bytes = std::move(bytes), id] {
    if (dart_ == nullptr) return;
    dart_->ReceiveFromNative(channel, bytes, [this, id](Bytes answer) {
      if (id == 0) return;
      // Delivered from the queue, never from inside the Dart side's own processing.
      // A stopped engine has run the owed reply already.
      static_cast<void>(Post([this, id, answer = std::move(answer)] { AnswerNative(id, answer); }));
    });
  });
  if (!queued && id != 0) {
    const std::lock_guard lock(messenger_->mutex);
    owed_replies_.erase(id);
  }
  return queued;
}

void Engine::AnswerNative(std::uint64_t id, const Bytes& answer) {
  OwedReply owed{};
  {
    const std::lock_guard lock(messenger_->mutex);
    const auto found = owed_replies_.find(id);
    if (found == owed_replies_.end()) return;
    owed = found->second;
    owed_replies_.erase(found);
  }
  owed.reply(answer.empty() ? nullptr : answer.data(), answer.size(), owed.user_data);
}

void Engine::SendToNative(const std::string& channel, const Bytes& message,
                          std::function<void(Bytes)> on_answer) {
  const auto route = routes_.find(channel);
  if (route == routes_.end()) {
    // No handler on the native side: the Dart side sees an empty answer.
    static_cast<void>(Post([on_answer = std::move(on_answer)] { on_answer({}); }));
    return;
  }
  auto open_call = std::make_unique<FlutterDesktopMessageResponseHandle>();
  open_call->on_answer = std::move(on_answer);
  const FlutterDesktopMessageResponseHandle* handle = open_call.get();
  {
    const std::lock_guard lock(messenger_->mutex);
    open_calls_[handle] = std::move(open_call);
  }
  const FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel.c_str(),
                                     message.empty() ? nullptr : message.data(), message.size(),
                                     handle};
  // Copied: the callback may remove its own route.
  const Route target = route->second;
  target.callback(messenger_, &record, target.user_data);
}

void Engine::Respond(const FlutterDesktopMessageResponseHandle* handle, Bytes answer) {
  std::unique_ptr<FlutterDesktopMessageResponseHandle> open_call;
  {
    const std::lock_guard lock(messenger_->mutex);
    const auto found = open_calls_.find(handle);
    if (found == open_calls_.end()) return;
    open_call = std::move(found->second);
    open_calls_.erase(found);
  }
  // A stopped engine has no Dart side left to hear the answer.
  static_cast<void>(Post([on_answer = std::move(open_call->on_answer), answer = std::move(answer)] {
    on_answer(answer);
  }));
}

void Engine::SetNextFrameCallback(FlutterDesktopOnNextFrameCallback callback, void* user_data) {
  next_frame_callback_ = callback;
  next_frame_user_data_ = user_data;
}

void Engine::FrameRendered() {
  const FlutterDesktopOnNextFrameCallback callback = std::exchange(next_frame_callback_, nullptr);
  if (callback != nullptr) callback(next_frame_user_data_);
}

}  // namespace standin
