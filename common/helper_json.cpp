#include "common/helper_json.h"

#include <algorithm>

namespace common {

namespace {

bool IsJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t SkipSpace(std::string_view text, std::size_t position) {
  while (position < text.size() && IsJsonSpace(text[position])) {
    ++position;
  }
  return position;
}

// The search the three field readers share. `read_value` is tried at the first byte of the value
// after every occurrence of "key": that is followed by a colon; the first success wins.
template <typename Value, typename ReadValue>
std::optional<Value> FindField(std::string_view text, std::string_view key, ReadValue read_value) {
  std::string needle;
  needle.reserve(key.size() + 2);
  needle.push_back('"');
  needle.append(key);
  needle.push_back('"');

  std::size_t search_from = 0;
  while (search_from < text.size()) {
    const std::size_t found = text.find(needle, search_from);
    if (found == std::string_view::npos) {
      return std::nullopt;
    }
    std::size_t position = SkipSpace(text, found + needle.size());
    if (position < text.size() && text[position] == ':') {
      position = SkipSpace(text, position + 1);
      if (position >= text.size()) {
        return std::nullopt;
      }
      if (std::optional<Value> value = read_value(text, position)) {
        return value;
      }
    }
    search_from = found + needle.size();
  }
  return std::nullopt;
}

}  // namespace

std::string EscapeJsonString(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 16);
  for (const char c : text) {
    switch (c) {
      case '\b':
        escaped += "\\b";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\f':
        escaped += "\\f";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '"':
        escaped += "\\\"";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        escaped.push_back(c);
        break;
    }
  }
  return escaped;
}

bool ParseJsonStringAt(std::string_view text, std::size_t& position, std::string& output) {
  std::size_t at = position;
  if (at >= text.size() || text[at] != '"') {
    return false;
  }
  ++at;
  std::string decoded;
  decoded.reserve(text.size() - at);
  while (at < text.size()) {
    const char c = text[at++];
    if (c == '"') {
      output = std::move(decoded);
      position = at;
      return true;
    }
    if (c != '\\') {
      decoded.push_back(c);
      continue;
    }
    if (at >= text.size()) {
      return false;
    }
    switch (const char escape = text[at++]) {
      case '"':
      case '/':
      case '\\':
        decoded.push_back(escape);
        break;
      case 'b':
        decoded.push_back('\b');
        break;
      case 'f':
        decoded.push_back('\f');
        break;
      case 'n':
        decoded.push_back('\n');
        break;
      case 'r':
        decoded.push_back('\r');
        break;
      case 't':
        decoded.push_back('\t');
        break;
      case 'u':
        // The code point is not decoded: the protocol's own texts never need one.
        if (text.size() - at < 4) {
          return false;
        }
        at += 4;
        decoded.push_back('?');
        break;
      default:
        return false;
    }
  }
  return false;  // Unterminated.
}

std::optional<std::string> FindJsonStringField(std::string_view text, std::string_view key) {
  return FindField<std::string>(text, key, [](std::string_view t, std::size_t position) {
    std::string value;
    return ParseJsonStringAt(t, position, value) ? std::optional<std::string>(std::move(value))
                                                 : std::nullopt;
  });
}

std::optional<bool> FindJsonBoolField(std::string_view text, std::string_view key) {
  return FindField<bool>(text, key, [](std::string_view t, std::size_t position) {
    const std::string_view rest = t.substr(position);
    if (rest.starts_with("true")) return std::optional<bool>(true);
    if (rest.starts_with("false")) return std::optional<bool>(false);
    return std::optional<bool>();
  });
}

std::optional<std::int32_t> FindJsonIntField(std::string_view text, std::string_view key) {
  return FindField<std::int32_t>(text, key, [](std::string_view t, std::size_t position) {
    const bool negative = position < t.size() && t[position] == '-';
    if (negative) ++position;
    if (position >= t.size() || t[position] < '0' || t[position] > '9') {
      return std::optional<std::int32_t>();
    }
    // Unsigned arithmetic wraps where signed arithmetic would be undefined.
    std::uint32_t value = 0;
    while (position < t.size() && t[position] >= '0' && t[position] <= '9') {
      value = value * 10u + static_cast<std::uint32_t>(t[position] - '0');
      ++position;
    }
    if (negative) value = 0u - value;
    return std::optional<std::int32_t>(static_cast<std::int32_t>(value));
  });
}

}  // namespace common
