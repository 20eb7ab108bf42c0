#include "flutter_glue/standard_method_codec.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "flutter_glue/byte_streams.h"
#include "flutter_glue/diagnostics.h"

namespace flutter {
namespace {

constexpr std::uint8_t kSuccessEnvelope = 0;
constexpr std::uint8_t kErrorEnvelope = 1;

// Written where a value is absent. Taken by reference so that a present value is never copied.
const EncodableValue& NullValue() {
  static const EncodableValue null_value;
  return null_value;
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) serializer = &StandardCodecSerializer::GetInstance();
  // Never destroyed, like the serializer. Locked because nothing stops two threads from asking for
  // their first codec at once.
  struct Registry {
    std::mutex mutex;
    std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>> codecs;
  };
  static Registry* const registry = new Registry();
  const std::lock_guard lock(registry->mutex);
  std::unique_ptr<StandardMethodCodec>& codec = registry->codecs[serializer];
  if (!codec) codec.reset(new StandardMethodCodec(serializer));
  return *codec;
}

std::unique_ptr<MethodCall<EncodableValue>> StandardMethodCodec::DecodeMethodCall(
    const std::uint8_t* message, std::size_t message_size) const {
  ByteBufferStreamReader stream(message, message_size);
  EncodableValue method_name = serializer_->ReadValue(&stream);
  auto* name = std::get_if<std::string>(&method_name);
  if (name == nullptr) {
    WriteDiagnosticLine("Invalid method call; method name is not a string.");
    return nullptr;
  }
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&stream));
  return std::make_unique<MethodCall<EncodableValue>>(std::move(*name), std::move(arguments));
}

std::unique_ptr<std::vector<std::uint8_t>> StandardMethodCodec::EncodeMethodCall(
    const MethodCall<EncodableValue>& method_call) const {
  auto encoded = std::make_unique<std::vector<std::uint8_t>>();
  ByteBufferStreamWriter stream(encoded.get());
  serializer_->WriteValue(EncodableValue(method_call.method_name()), &stream);
  serializer_->WriteValue(method_call.arguments() ? *method_call.arguments() : NullValue(),
                          &stream);
  return encoded;
}

std::unique_ptr<std::vector<std::uint8_t>> StandardMethodCodec::EncodeSuccessEnvelope(
    const EncodableValue* result) const {
  auto encoded = std::make_unique<std::vector<std::uint8_t>>();
  ByteBufferStreamWriter stream(encoded.get());
  stream.WriteByte(kSuccessEnvelope);
  serializer_->WriteValue(result ? *result : NullValue(), &stream);
  return encoded;
}

std::unique_ptr<std::vector<std::uint8_t>> StandardMethodCodec::EncodeErrorEnvelope(
    const std::string& error_code, const std::string& error_message,
    const EncodableValue* error_details) const {
  auto encoded = std::make_unique<std::vector<std::uint8_t>>();
  ByteBufferStreamWriter stream(encoded.get());
  stream.WriteByte(kErrorEnvelope);
  serializer_->WriteValue(EncodableValue(error_code), &stream);
  serializer_->WriteValue(error_message.empty() ? NullValue() : EncodableValue(error_message),
                          &stream);
  serializer_->WriteValue(error_details ? *error_details : NullValue(), &stream);
  return encoded;
}

bool StandardMethodCodec::DecodeAndProcessResponseEnvelope(
    const std::uint8_t* response, std::size_t response_size,
    MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader stream(response, response_size);
  switch (stream.ReadByte()) {
    case kSuccessEnvelope: {
      const EncodableValue value = serializer_->ReadValue(&stream);
      if (value.IsNull()) {
        result->Success();
      } else {
        result->Success(value);
      }
      return true;
    }
    case kErrorEnvelope: {
      const EncodableValue code = serializer_->ReadValue(&stream);
      const EncodableValue message = serializer_->ReadValue(&stream);
      const EncodableValue details = serializer_->ReadValue(&stream);
      const auto* code_text = std::get_if<std::string>(&code);
      const auto* message_text = std::get_if<std::string>(&message);
      if (code_text == nullptr || (message_text == nullptr && !message.IsNull())) return false;
      const std::string& message_or_empty = message_text ? *message_text : std::string();
      if (details.IsNull()) {
        result->Error(*code_text, message_or_empty);
      } else {
        result->Error(*code_text, message_or_empty, details);
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace flutter
