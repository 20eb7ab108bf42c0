// Feeds arbitrary bytes to the two places where the app decodes what the Dart side sent: an
// incoming method call and the result envelope of a call the app made. Whatever decodes must
// encode, decode and encode again to the same bytes, a call always has arguments (null for none),
// and an envelope is handed on once or never, as a success or an error.
#include <cstddef>
#include <cstdint>

#include "tests/flutter_glue/glue_test_support.h"

namespace {

using glue_test::Answer;
using glue_test::Codec;

std::vector<Answer> DecodeEnvelope(const glue_test::Bytes& bytes) {
  auto answers = std::make_shared<std::vector<Answer>>();
  glue_test::RecordingResult result(answers);
  const bool handed_on =
      Codec().DecodeAndProcessResponseEnvelope(bytes.data(), bytes.size(), &result);
  if (answers->size() != (handed_on ? 1u : 0u)) __builtin_trap();
  if (handed_on && answers->front().kind == Answer::kNotImplemented) __builtin_trap();
  return *answers;
}

glue_test::Bytes Encode(const Answer& answer) {
  const auto* value = answer.value ? &*answer.value : nullptr;
  return answer.kind == Answer::kSuccess
             ? *Codec().EncodeSuccessEnvelope(value)
             : *Codec().EncodeErrorEnvelope(answer.code, answer.message, value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto call = Codec().DecodeMethodCall(data, size)) {
    if (call->arguments() == nullptr) __builtin_trap();
    const auto once = Codec().EncodeMethodCall(*call);
    const auto again = Codec().DecodeMethodCall(once->data(), once->size());
    if (!again || *Codec().EncodeMethodCall(*again) != *once) __builtin_trap();
  }
  for (const Answer& answer : DecodeEnvelope(glue_test::Bytes(data, data + size))) {
    const glue_test::Bytes once = Encode(answer);
    const std::vector<Answer> again = DecodeEnvelope(once);
    if (again.size() != 1 || Encode(again[0]) != once) __builtin_trap();
  }
  return 0;
}
