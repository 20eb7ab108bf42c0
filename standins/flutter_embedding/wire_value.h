// The stand-in Dart side's own reading of the engine's standard message encoding: null, bool,
// 32- and 64-bit integers, doubles, strings, lists and maps, in method calls and result
// envelopes. Written apart from the app's codec, so that each checks the other; the typed lists
// are not needed by either channel and fail to decode here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace standin {

struct WireValue;
using WireList = std::vector<WireValue>;
// Kept in the order it was read or built; the channels look entries up by string key.
using WireMap = std::vector<std::pair<WireValue, WireValue>>;

struct WireValue {
  std::variant<std::monostate, bool, std::int32_t, std::int64_t, double, std::string, WireList,
               WireMap>
      value;

  // The string entry under `key`, if the value is a map that has one.
  const std::string* FindString(const std::string& key) const;
};

using Bytes = std::vector<std::uint8_t>;

Bytes EncodeMethodCall(const std::string& method, const WireValue& arguments);
Bytes EncodeSuccess(const WireValue& value);
Bytes EncodeError(const std::string& code, const std::string& message);

struct WireCall {
  std::string method;
  WireValue arguments;
};
// Nothing when the bytes are not a method call this reader understands.
std::optional<WireCall> DecodeMethodCall(const Bytes& bytes);

// An answer to a call, as the Dart side sees it.
struct WireReply {
  enum class Kind { kSuccess, kError, kNotImplemented, kUndecodable };
  Kind kind = Kind::kNotImplemented;
  WireValue value;  // the result, or the error details
  std::string code;
  std::string message;
};
// An empty answer means the native side has no handler (not implemented).
WireReply DecodeReply(const Bytes& bytes);

}  // namespace standin
