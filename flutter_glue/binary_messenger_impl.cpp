#include "flutter_glue/binary_messenger_impl.h"

#include <memory>
#include <utility>

#include "flutter_glue/diagnostics.h"

namespace flutter {
namespace {

// Holds the embedding's lock on the messenger for one scope.
class MessengerLock {
 public:
  explicit MessengerLock(FlutterDesktopMessengerRef messenger)
      : locked_(FlutterDesktopMessengerLock(messenger)) {}
  ~MessengerLock() {
    if (locked_ != nullptr) FlutterDesktopMessengerUnlock(locked_);
  }
  MessengerLock(const MessengerLock&) = delete;
  MessengerLock& operator=(const MessengerLock&) = delete;

 private:
  FlutterDesktopMessengerRef locked_;
};

// What the reply to one incoming message needs; shared by every copy of that reply.
struct PendingResponse {
  // A counted reference: the reply may run after the engine has ended.
  std::shared_ptr<FlutterDesktopMessenger> messenger;
  // Cleared once used, so a second answer is refused.
  const FlutterDesktopMessageResponseHandle* response_handle;
};

void SendResponse(PendingResponse& pending, const std::uint8_t* data, std::size_t data_size) {
  FlutterDesktopMessengerRef messenger = pending.messenger.get();
  const MessengerLock lock(messenger);
  if (!FlutterDesktopMessengerIsAvailable(messenger)) return;  // the engine is gone
  if (pending.response_handle == nullptr) {
    WriteDiagnosticLine("Error: Response can be set only once. Ignoring duplicate response.");
    return;
  }
  FlutterDesktopMessengerSendResponse(messenger, pending.response_handle, data, data_size);
  pending.response_handle = nullptr;
}

// The embedding's callback for incoming messages; `user_data` is the stored handler.
void ForwardToHandler(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                      void* user_data) {
  try {
    auto pending = std::make_shared<PendingResponse>(PendingResponse{
        std::shared_ptr<FlutterDesktopMessenger>(FlutterDesktopMessengerAddRef(messenger),
                                                 &FlutterDesktopMessengerRelease),
        message->response_handle});
    BinaryReply reply = [pending](const std::uint8_t* data, std::size_t data_size) {
      SendResponse(*pending, data, data_size);
    };
    // A copy runs: a handler may remove or replace its own channel's handler, which destroys the
    // stored one while it runs.
    const BinaryMessageHandler handler = *static_cast<const BinaryMessageHandler*>(user_data);
    handler(message->message, message->message_size, std::move(reply));
  } catch (...) {
    // Nothing may unwind into the embedding.
    WriteDiagnosticLine("Error: A message handler failed with an exception.");
  }
}

// The embedding's callback for the answer to a message sent with a reply; `user_data` is the
// heap copy of that reply, freed here.
void ForwardToReply(const std::uint8_t* data, std::size_t data_size, void* user_data) {
  const std::unique_ptr<BinaryReply> reply(static_cast<BinaryReply*>(user_data));
  try {
    (*reply)(data, data_size);
  } catch (...) {
    WriteDiagnosticLine("Error: A message reply failed with an exception.");
  }
}

}  // namespace

void BinaryMessengerImpl::Send(const std::string& channel, const std::uint8_t* message,
                               std::size_t message_size, BinaryReply reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, message_size);
    return;
  }
  auto captured = std::make_unique<BinaryReply>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, message_size,
                                           &ForwardToReply, captured.get())) {
    // The embedding owns it now and frees it through ForwardToReply.
    static_cast<void>(captured.release());
  }
}

void BinaryMessengerImpl::SetMessageHandler(const std::string& channel,
                                            BinaryMessageHandler handler) {
  if (!handler) {
    // Unroute before the handler goes, so the embedding never holds a freed address.
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    handlers_.erase(channel);
    return;
  }
  BinaryMessageHandler& stored = handlers_[channel];
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), &ForwardToHandler, &stored);
}

}  // namespace flutter
