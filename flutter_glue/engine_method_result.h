// The MethodResult handed to method-call handlers for a message from the engine: it answers that
// message once, with an encoded envelope.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flutter_glue/binary_messenger.h"
#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_codec.h"
#include "flutter_glue/method_result.h"

namespace flutter {

// Holds the reply of one incoming message until it is used. Destroying it unused logs the leak
// warning and sends nothing: the Dart side's call then never completes.
class ReplyManager {
 public:
  explicit ReplyManager(BinaryReply reply_handler);
  ~ReplyManager();
  ReplyManager(const ReplyManager&) = delete;
  ReplyManager& operator=(const ReplyManager&) = delete;

  // Sends `data` (null or empty: an empty answer) the first time; later calls only log.
  void SendResponseData(const std::vector<std::uint8_t>* data);

 private:
  BinaryReply reply_handler_;
};

template <typename T = EncodableValue>
class EngineMethodResult : public MethodResult<T> {
 public:
  // `codec` is not owned and must outlive this result.
  EngineMethodResult(BinaryReply reply_handler, const MethodCodec<T>* codec)
      : reply_manager_(std::make_unique<ReplyManager>(std::move(reply_handler))), codec_(codec) {}

 protected:
  void SuccessInternal(const T* result) override {
    const std::unique_ptr<std::vector<std::uint8_t>> envelope =
        codec_->EncodeSuccessEnvelope(result);
    reply_manager_->SendResponseData(envelope.get());
  }

  void ErrorInternal(const std::string& error_code, const std::string& error_message,
                     const T* error_details) override {
    const std::unique_ptr<std::vector<std::uint8_t>> envelope =
        codec_->EncodeErrorEnvelope(error_code, error_message, error_details);
    reply_manager_->SendResponseData(envelope.get());
  }

  // Not implemented is the empty answer.
  void NotImplementedInternal() override { reply_manager_->SendResponseData(nullptr); }

 private:
  std::unique_ptr<ReplyManager> reply_manager_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter
