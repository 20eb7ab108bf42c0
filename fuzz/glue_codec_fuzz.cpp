// Feeds arbitrary bytes to the two places where the app decodes what the Dart side sent: an
// incoming method call and the result envelope of a call the app made. Whatever decodes must
// encode, decode and encode again to the same bytes, and an envelope is handed on once or never.
#include <cstddef>
#include <cstdint>

#include "tests/flutter_glue/recording_result.h"

namespace {

using glue_test::Answer;

// Hands `bytes` to a result; returns its answers, which must be one if it was handed on.
std::vector<Answer> DecodeEnvelope(const std::uint8_t* bytes, std::size_t size) {
  auto answers = std::make_shared<std::vector<Answer>>();
  glue_test::RecordingResult result(answers);
  const bool handed_on = glue_test::Codec().DecodeAndProcessResponseEnvelope(bytes, size, &result);
  if (answers->size() != (handed_on ? 1u : 0u)) __builtin_trap();
  return *answers;
}

glue_test::Bytes Encode(const Answer& answer) {
  const glue_test::EncodableValue* value = answer.value ? &*answer.value : nullptr;
  return answer.kind == Answer::kSuccess
             ? *glue_test::Codec().EncodeSuccessEnvelope(value)
             : *glue_test::Codec().EncodeErrorEnvelope(answer.code, answer.message, value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& codec = glue_test::Codec();
  if (const auto call = codec.DecodeMethodCall(data, size)) {
    const auto once = codec.EncodeMethodCall(*call);
    const auto again = codec.DecodeMethodCall(once->data(), once->size());
    if (!again || *codec.EncodeMethodCall(*again) != *once) __builtin_trap();
  }
  for (const Answer& answer : DecodeEnvelope(data, size)) {
    const glue_test::Bytes once = Encode(answer);
    const std::vector<Answer> again = DecodeEnvelope(once.data(), once.size());
    if (again.size() != 1 || Encode(again[0]) != once) __builtin_trap();
  }
  return 0;
}
