// What the glue's tests share besides the recording result: the serializer and captured
// diagnostics.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "flutter_glue/byte_streams.h"
#include "tests/flutter_glue/recording_result.h"

namespace glue_test {

inline Bytes Serialize(const EncodableValue& value) {
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

// What `action` wrote to the standard error stream.
template <typename Action>
std::string StderrOf(Action&& action) {
  testing::internal::CaptureStderr();
  action();
  return testing::internal::GetCapturedStderr();
}

inline constexpr char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader\n";

}  // namespace glue_test
