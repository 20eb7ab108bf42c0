// Small helpers shared by the codec and channel tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "flutter_glue/byte_streams.h"
#include "flutter_glue/encodable_value.h"
#include "flutter_glue/standard_codec_serializer.h"
#include "flutter_glue/standard_method_codec.h"

namespace flutter {

// Readable values in assertion messages.
inline void PrintTo(const EncodableValue& value, std::ostream* out) {
  std::visit(
      [out](const auto& content) {
        using Alternative = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<Alternative, std::monostate>) {
          *out << "null";
        } else if constexpr (std::is_same_v<Alternative, std::string>) {
          *out << testing::PrintToString(content);
        } else if constexpr (std::is_same_v<Alternative, EncodableList>) {
          *out << "[";
          for (const auto& element : content) {
            PrintTo(element, out);
            *out << ", ";
          }
          *out << "]";
        } else if constexpr (std::is_same_v<Alternative, EncodableMap>) {
          *out << "{";
          for (const auto& [key, entry] : content) {
            PrintTo(key, out);
            *out << ": ";
            PrintTo(entry, out);
            *out << ", ";
          }
          *out << "}";
        } else if constexpr (std::is_same_v<Alternative, CustomEncodableValue>) {
          *out << "custom";
        } else {
          *out << testing::PrintToString(content);
        }
      },
      static_cast<const EncodableValueVariant&>(value));
}

}  // namespace flutter

namespace glue_test {

using Bytes = std::vector<std::uint8_t>;

inline const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

inline const flutter::StandardCodecSerializer& Serializer() {
  return flutter::StandardCodecSerializer::GetInstance();
}

inline Bytes Serialize(const flutter::EncodableValue& value) {
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  Serializer().WriteValue(value, &writer);
  return bytes;
}

inline flutter::EncodableValue Deserialize(const Bytes& bytes) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return Serializer().ReadValue(&reader);
}

inline Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Runs `action` and returns what it wrote to the standard error stream.
template <typename Action>
std::string StderrOf(Action&& action) {
  testing::internal::CaptureStderr();
  std::forward<Action>(action)();
  return testing::internal::GetCapturedStderr();
}

inline constexpr char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader\n";

}  // namespace glue_test
