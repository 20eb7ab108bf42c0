#include "common/log_line.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace common {
namespace {

constexpr std::string_view kCut = "...";
constexpr std::size_t kMinKeyLikeRun = 40;

bool IsPlain(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') ||
         std::string_view("._-/:\\@").find(byte) != std::string_view::npos;
}

void AppendValue(std::string& line, std::string_view value) {
  if (!value.empty() && std::all_of(value.begin(), value.end(), IsPlain)) {
    line += value;
    return;
  }
  line += '"';
  for (const char byte : value) {
    switch (byte) {
      case '"':
        line += "\\\"";
        break;
      case '\\':
        line += "\\\\";
        break;
      case '\n':
        line += "\\n";
        break;
      case '\r':
        line += "\\r";
        break;
      case '\t':
        line += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) {
          char escaped[5];
          std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned char>(byte));
          line += escaped;
        } else {
          line += byte;
        }
    }
  }
  line += '"';
}

const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::kInfo:
      return "INFO";
    case LogLevel::kWarning:
      return "WARN";
    case LogLevel::kError:
      return "ERROR";
  }
  return "INFO";
}

bool IsBase64(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '+' || byte == '/';
}

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

LogField::LogField(std::string_view key, std::uint64_t number) noexcept : key_(key) {
  number_size_ = static_cast<std::size_t>(
      std::to_chars(number_, number_ + sizeof(number_), number).ptr - number_);
}

std::string FormatLogLine(const LogTime& time, LogLevel level, std::string_view event,
                          std::initializer_list<LogField> fields) {
  char stamp[32];
  std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ ", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.millisecond);
  std::string line = stamp;
  line += LevelName(level);
  line += ' ';
  line += event;
  for (const LogField& field : fields) {
    line += ' ';
    line += field.key();
    line += '=';
    AppendValue(line, field.value());
  }
  if (line.size() + 1 > kMaxLogLineBytes) {
    std::size_t keep = kMaxLogLineBytes - 1 - kCut.size();
    while (keep > 0 && IsContinuationByte(line[keep])) --keep;
    line.resize(keep);
    line += kCut;
  }
  line += '\n';
  return line;
}

std::string RedactKeys(std::string_view text) {
  std::string redacted;
  redacted.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t end = position;
    while (end < text.size() && IsBase64(text[end])) ++end;
    if (end - position >= kMinKeyLikeRun) {
      while (end < text.size() && text[end] == '=') ++end;
      redacted += "[redacted]";
    } else {
      redacted.append(text.substr(position, end - position));
      if (end < text.size()) redacted += text[end++];
    }
    position = end;
  }
  return redacted;
}

std::string LinkForLog(std::string_view link) {
  link = link.substr(0, link.find_first_of("?#"));
  const std::size_t scheme_end = link.find("://");
  if (scheme_end == std::string_view::npos) return std::string(link);
  const std::size_t authority = scheme_end + 3;
  const std::size_t path = std::min(link.find('/', authority), link.size());
  const std::size_t at = link.substr(0, path).rfind('@');
  if (at == std::string_view::npos || at < authority) return std::string(link);
  return std::string(link.substr(0, authority)) + std::string(link.substr(at + 1));
}

std::string_view FirstLine(std::string_view text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace common
