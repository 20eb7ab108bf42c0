// A named channel of method calls over a BinaryMessenger, encoded with a MethodCodec.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "flutter_glue/binary_messenger.h"
#include "flutter_glue/diagnostics.h"
#include "flutter_glue/encodable_value.h"
#include "flutter_glue/engine_method_result.h"
#include "flutter_glue/method_call.h"
#include "flutter_glue/method_codec.h"
#include "flutter_glue/method_result.h"

namespace flutter {

// Takes an incoming call and owns its result, which it should answer once.
template <typename T = EncodableValue>
using MethodCallHandler =
    std::function<void(const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

template <typename T = EncodableValue>
class MethodChannel {
 public:
  // Neither `messenger` nor `codec` is owned; both must outlive the channel and every handler it
  // installs.
  MethodChannel(BinaryMessenger* messenger, std::string name, const MethodCodec<T>* codec)
      : messenger_(messenger), name_(std::move(name)), codec_(codec) {}
  ~MethodChannel() = default;
  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  // Calls `method` on the Dart side. Without `result` nothing waits for the answer; with one, an
  // empty or undecodable answer completes it as not implemented.
  void InvokeMethod(const std::string& method, std::unique_ptr<T> arguments,
                    std::unique_ptr<MethodResult<T>> result = nullptr) const {
    const MethodCall<T> call(method, std::move(arguments));
    const std::unique_ptr<std::vector<std::uint8_t>> message = codec_->EncodeMethodCall(call);
    if (!result) {
      messenger_->Send(name_, message->data(), message->size());
      return;
    }
    std::shared_ptr<MethodResult<T>> shared_result = std::move(result);
    BinaryReply reply = [result = std::move(shared_result), codec = codec_, name = name_](
                            const std::uint8_t* reply_bytes, std::size_t reply_size) {
      if (reply_size == 0) {
        result->NotImplemented();
        return;
      }
      if (!codec->DecodeAndProcessResponseEnvelope(reply_bytes, reply_size, result.get())) {
        WriteDiagnosticLine("Unable to decode reply to method invocation on channel " + name);
        result->NotImplemented();
      }
    };
    messenger_->Send(name_, message->data(), message->size(), std::move(reply));
  }

  // Installs `handler` for incoming calls; an empty handler removes the route. The installed
  // handler keeps its own copies of the handler, codec pointer and name, so it outlives the
  // channel object until it is removed or the messenger is destroyed.
  void SetMethodCallHandler(MethodCallHandler<T> handler) const {
    if (!handler) {
      messenger_->SetMessageHandler(name_, nullptr);
      return;
    }
    BinaryMessageHandler binary_handler = [handler = std::move(handler), codec = codec_,
                                           name = name_](const std::uint8_t* message,
                                                         std::size_t message_size,
                                                         BinaryReply reply) {
      auto result = std::make_unique<EngineMethodResult<T>>(std::move(reply), codec);
      const std::unique_ptr<MethodCall<T>> call = codec->DecodeMethodCall(message, message_size);
      if (!call) {
        WriteDiagnosticLine("Unable to construct method call from message on channel " + name);
        result->NotImplemented();
        return;
      }
      handler(*call, std::move(result));
    };
    messenger_->SetMessageHandler(name_, std::move(binary_handler));
  }

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter
