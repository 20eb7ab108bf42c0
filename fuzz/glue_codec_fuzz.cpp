// Feeds arbitrary bytes to the two places where the app decodes what the Dart side sent: an
// incoming method call and the result envelope of a call the app made. Whatever was decoded must
// encode and decode again to the same bytes, and an envelope is handed on exactly once or not at
// all.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_result.h"
#include "flutter_glue/standard_method_codec.h"

namespace {

using flutter::EncodableValue;

struct Answer {
  bool success = false;
  std::optional<EncodableValue> value;  // success value or error details
  std::string code;
  std::string message;
};

class CollectingResult : public flutter::MethodResult<> {
 public:
  std::vector<Answer> answers;

 protected:
  void SuccessInternal(const EncodableValue* result) override {
    answers.push_back({true, Optional(result), "", ""});
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override {
    answers.push_back({false, Optional(details), code, message});
  }
  void NotImplementedInternal() override { __builtin_trap(); }

 private:
  static std::optional<EncodableValue> Optional(const EncodableValue* value) {
    return value ? std::optional<EncodableValue>(*value) : std::nullopt;
  }
};

std::unique_ptr<std::vector<std::uint8_t>> Encode(const flutter::StandardMethodCodec& codec,
                                                  const Answer& answer) {
  const EncodableValue* value = answer.value ? &*answer.value : nullptr;
  return answer.success ? codec.EncodeSuccessEnvelope(value)
                        : codec.EncodeErrorEnvelope(answer.code, answer.message, value);
}

// Decodes an envelope that must be handed on, and returns its one answer.
Answer DecodeEnvelope(const flutter::StandardMethodCodec& codec,
                      const std::vector<std::uint8_t>& bytes) {
  CollectingResult result;
  if (!codec.DecodeAndProcessResponseEnvelope(bytes.data(), bytes.size(), &result) ||
      result.answers.size() != 1) {
    __builtin_trap();
  }
  return result.answers.front();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();

  if (const auto call = codec.DecodeMethodCall(data, size)) {
    if (call->arguments() == nullptr) __builtin_trap();
    const auto once = codec.EncodeMethodCall(*call);
    const auto again = codec.DecodeMethodCall(once->data(), once->size());
    if (!again || again->method_name() != call->method_name()) __builtin_trap();
    if (*codec.EncodeMethodCall(*again) != *once) __builtin_trap();
  }

  CollectingResult result;
  const bool handed_on = codec.DecodeAndProcessResponseEnvelope(data, size, &result);
  if (result.answers.size() != (handed_on ? 1u : 0u)) __builtin_trap();
  if (handed_on) {
    const auto once = Encode(codec, result.answers.front());
    const Answer again = DecodeEnvelope(codec, *once);
    if (again.success != result.answers.front().success) __builtin_trap();
    if (*Encode(codec, again) != *once) __builtin_trap();
  }
  return 0;
}
