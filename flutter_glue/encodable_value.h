// The values that travel on method channels. The order of the alternatives is part of the wire
// format and of map-key ordering: never reorder or insert.
#pragma once

#include <any>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// A native value that the standard codec cannot encode; it is written as null. Custom values are
// compared by identity: a copy is a different key.
class CustomEncodableValue {
 public:
  explicit CustomEncodableValue(const std::any& value) : value_(value) {}
  explicit CustomEncodableValue(std::any&& value) : value_(std::move(value)) {}

  operator std::any&() { return value_; }
  operator const std::any&() const { return value_; }
  const std::type_info& type() const noexcept { return value_.type(); }

  friend bool operator==(const CustomEncodableValue& a, const CustomEncodableValue& b) {
    return &a == &b;
  }

 private:
  std::any value_;
};

using EncodableValueVariant = std::variant<std::monostate,             // 0: null
                                           bool,                       // 1
                                           std::int32_t,               // 2
                                           std::int64_t,               // 3
                                           double,                     // 4
                                           std::string,                // 5: UTF-8
                                           std::vector<std::uint8_t>,  // 6
                                           std::vector<std::int32_t>,  // 7
                                           std::vector<std::int64_t>,  // 8
                                           std::vector<double>,        // 9
                                           EncodableList,              // 10
                                           EncodableMap,               // 11
                                           CustomEncodableValue,       // 12
                                           std::vector<float>>;        // 13

class EncodableValue : public EncodableValueVariant {
 public:
  using EncodableValueVariant::EncodableValueVariant;
  using EncodableValueVariant::operator=;

  EncodableValue() = default;
  // Without these a string literal would become a bool.
  explicit EncodableValue(const char* string) : EncodableValueVariant(std::string(string)) {}
  EncodableValue& operator=(const char* string) {
    EncodableValueVariant::operator=(std::string(string));
    return *this;
  }

  bool IsNull() const noexcept { return std::holds_alternative<std::monostate>(*this); }

  // Either integer alternative as 64 bits; throws std::bad_variant_access for anything else.
  std::int64_t LongValue() const {
    if (const auto* value = std::get_if<std::int32_t>(this)) return *value;
    return std::get<std::int64_t>(*this);
  }

  friend bool operator==(const EncodableValue& a, const EncodableValue& b) {
    return static_cast<const EncodableValueVariant&>(a) ==
           static_cast<const EncodableValueVariant&>(b);
  }

  // Orders by alternative first, then by content: numbers numerically, strings by their bytes,
  // lists and maps element by element. Doubles and floats use a total order (all NaNs equivalent,
  // after every number), so that map keys decoded from any bytes keep the map consistent.
  friend std::weak_ordering operator<=>(const EncodableValue& a, const EncodableValue& b);
  friend bool operator<(const EncodableValue& a, const EncodableValue& b) { return (a <=> b) < 0; }
};

}  // namespace flutter
