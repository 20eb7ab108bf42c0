// Turns method calls and their result envelopes into bytes and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_call.h"
#include "flutter_glue/method_result.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;
  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // Null when the bytes do not hold a call.
  virtual std::unique_ptr<MethodCall<T>> DecodeMethodCall(const std::uint8_t* message,
                                                          std::size_t message_size) const = 0;

  virtual std::unique_ptr<std::vector<std::uint8_t>> EncodeMethodCall(
      const MethodCall<T>& method_call) const = 0;

  // Null `result` or `error_details` means none.
  virtual std::unique_ptr<std::vector<std::uint8_t>> EncodeSuccessEnvelope(
      const T* result = nullptr) const = 0;
  virtual std::unique_ptr<std::vector<std::uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message = "",
      const T* error_details = nullptr) const = 0;

  // Hands a decoded result envelope to `result` (which must not be null) as Success or Error.
  // Returns false, without touching `result`, when the bytes are not an envelope it can hand on.
  virtual bool DecodeAndProcessResponseEnvelope(const std::uint8_t* response,
                                                std::size_t response_size,
                                                MethodResult<T>* result) const = 0;
};

}  // namespace flutter
