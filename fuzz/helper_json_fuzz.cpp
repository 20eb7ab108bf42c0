// Feeds arbitrary bytes to the pipe's field readers and to both ends' decoders, as the service and
// the app receive them. Whatever they decode must survive another encode and decode unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/helper_json.h"
#include "common/helper_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string_view key : {"command", "config", "ok", "message", "statusRaw", ""}) {
    if (const auto value = common::FindJsonStringField(text, key)) {
      const std::string literal = "\"" + common::EscapeJsonString(*value) + "\"";
      std::size_t position = 0;
      std::string again;
      if (!common::ParseJsonStringAt(literal, position, again) || again != *value ||
          position != literal.size()) {
        __builtin_trap();
      }
    }
    (void)common::FindJsonBoolField(text, key);
    (void)common::FindJsonIntField(text, key);
  }
  if (const auto request = common::DecodeHelperRequest(text)) {
    if (common::DecodeHelperRequest(common::EncodeHelperRequest(*request)) != request) {
      __builtin_trap();
    }
  }
  if (const auto response = common::DecodeHelperResponse(text)) {
    // Through the service's encoder, which writes the code unsigned.
    common::HelperResponse sent{.ok = response->ok, .message = response->message, .statusRaw = {}};
    if (response->statusRaw) sent.statusRaw = static_cast<std::uint32_t>(*response->statusRaw);
    if (common::DecodeHelperResponse(common::EncodeHelperResponse(sent)) != response) {
      __builtin_trap();
    }
  }
  // A string read from anywhere ends after where it began and within the input.
  for (std::size_t position = 0; position <= size; position += 7) {
    std::size_t at = position;
    std::string out;
    if (common::ParseJsonStringAt(text, at, out) && (at <= position || at > size)) __builtin_trap();
  }
  return 0;
}
