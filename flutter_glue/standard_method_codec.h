// Method calls and result envelopes in the engine's standard encoding, on top of a serializer.
#pragma once

#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_codec.h"
#include "flutter_glue/standard_codec_serializer.h"

namespace flutter {

class StandardMethodCodec : public MethodCodec<EncodableValue> {
 public:
  // The codec bound to `serializer` (null: the standard one). One codec exists per serializer for
  // the life of the process; the serializer must live as long.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCall(
      const std::uint8_t* message, std::size_t message_size) const override;
  std::unique_ptr<std::vector<std::uint8_t>> EncodeMethodCall(
      const MethodCall<EncodableValue>& method_call) const override;
  std::unique_ptr<std::vector<std::uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result = nullptr) const override;
  std::unique_ptr<std::vector<std::uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message = "",
      const EncodableValue* error_details = nullptr) const override;
  // An error envelope whose code is not a string, or whose message is neither null nor a string,
  // is refused like an unknown envelope.
  bool DecodeAndProcessResponseEnvelope(const std::uint8_t* response, std::size_t response_size,
                                        MethodResult<EncodableValue>* result) const override;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}

  const StandardCodecSerializer* serializer_;  // not owned
};

}  // namespace flutter
