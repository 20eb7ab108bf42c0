// The narrow JSON routines both programs use on the helper pipe. They are not a JSON parser: the
// field readers look for one key anywhere in the text and read the value after it, ignoring
// everything else. Strings are escaped and decoded byte by byte, so any bytes (NUL and bytes of
// 0x80 and above included) survive an escape followed by a parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

// Escapes the seven bytes JSON requires (", \, backspace, tab, line feed, form feed, carriage
// return) as two-character escapes and copies every other byte unchanged. Never writes \u.
std::string EscapeJsonString(std::string_view text);

// Decodes the string literal that starts at `position` (which must point at its opening quotation
// mark). On success, `output` holds the decoded bytes and `position` points just past the closing
// quotation mark. On failure both are left as they were. A \u escape decodes to one "?".
[[nodiscard]] bool ParseJsonStringAt(std::string_view text, std::size_t& position,
                                     std::string& output);

// The first occurrence of "key" that is followed by a colon and a value of the wanted kind.
[[nodiscard]] std::optional<std::string> FindJsonStringField(std::string_view text,
                                                             std::string_view key);
[[nodiscard]] std::optional<bool> FindJsonBoolField(std::string_view text, std::string_view key);
// Reads an optional minus sign and a run of digits. Values from -2147483647 to 2147483647 read
// exactly; a longer run of digits wraps modulo 2^32, as 32-bit arithmetic would.
[[nodiscard]] std::optional<std::int32_t> FindJsonIntField(std::string_view text,
                                                           std::string_view key);

}  // namespace common
