// What the glue's and the app's tests and fuzz targets share: the standard codec, the glue's
// diagnostics captured, and a MethodResult that records its answers.
#pragma once

#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "flutter_glue/byte_streams.h"
#include "flutter_glue/method_result.h"
#include "flutter_glue/standard_method_codec.h"

namespace glue_test {

using Bytes = std::vector<std::uint8_t>;
using flutter::EncodableValue;

inline const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

inline Bytes Serialize(const EncodableValue& value) {
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

// What `action` wrote to the standard error stream, where the glue writes its diagnostics.
template <typename Action>
std::string StderrOf(Action&& action) {
  std::ostringstream captured;
  std::streambuf* const original = std::cerr.rdbuf(captured.rdbuf());
  action();
  std::cerr.rdbuf(original);
  return captured.str();
}

inline constexpr char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader\n";

struct Answer {
  enum Kind { kSuccess, kError, kNotImplemented } kind;
  std::optional<EncodableValue> value;  // the success value or the error details
  std::string code;
  std::string message;

  static Answer Success(std::optional<EncodableValue> value = {}) {
    return {kSuccess, std::move(value), "", ""};
  }
  static Answer Error(std::string code, std::string message = "",
                      std::optional<EncodableValue> details = {}) {
    return {kError, std::move(details), std::move(code), std::move(message)};
  }
  static Answer NotImplemented() { return {kNotImplemented, {}, "", ""}; }
  bool operator==(const Answer&) const = default;
};

// Adds its answers to a list it shares, so a test sees them after the result has been handed
// away, and sees by the list's use count when the result is gone.
class RecordingResult : public flutter::MethodResult<> {
 public:
  explicit RecordingResult(std::shared_ptr<std::vector<Answer>> answers)
      : answers_(std::move(answers)) {}

 protected:
  void SuccessInternal(const EncodableValue* value) override {
    answers_->push_back(Answer::Success(value ? std::optional(*value) : std::nullopt));
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override {
    answers_->push_back(
        Answer::Error(code, message, details ? std::optional(*details) : std::nullopt));
  }
  void NotImplementedInternal() override { answers_->push_back(Answer::NotImplemented()); }

 private:
  std::shared_ptr<std::vector<Answer>> answers_;
};

}  // namespace glue_test
