// A MethodResult that records every answer it is given, into a record that outlives it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flutter_glue/encodable_value.h"
#include "flutter_glue/method_result.h"

namespace glue_test {

struct Answer {
  enum Kind { kSuccess, kError, kNotImplemented } kind;
  std::optional<flutter::EncodableValue> value;  // the success value or the error details
  std::string code;
  std::string message;
};

struct AnswerRecord {
  std::vector<Answer> answers;
  bool destroyed = false;
};

class RecordingResult : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  explicit RecordingResult(std::shared_ptr<AnswerRecord> record) : record_(std::move(record)) {}
  ~RecordingResult() override { record_->destroyed = true; }

  static std::unique_ptr<RecordingResult> Make(std::shared_ptr<AnswerRecord>& record) {
    record = std::make_shared<AnswerRecord>();
    return std::make_unique<RecordingResult>(record);
  }

 protected:
  void SuccessInternal(const flutter::EncodableValue* result) override {
    record_->answers.push_back({Answer::kSuccess, Optional(result), {}, {}});
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const flutter::EncodableValue* details) override {
    record_->answers.push_back({Answer::kError, Optional(details), code, message});
  }
  void NotImplementedInternal() override {
    record_->answers.push_back({Answer::kNotImplemented, std::nullopt, {}, {}});
  }

 private:
  static std::optional<flutter::EncodableValue> Optional(const flutter::EncodableValue* value) {
    return value ? std::optional<flutter::EncodableValue>(*value) : std::nullopt;
  }

  std::shared_ptr<AnswerRecord> record_;
};

}  // namespace glue_test
