// The lines of the service's and the app's logs, and what may go into them. Platform-free, so
// that it is also built and tested natively.
//
// A line is: a UTC timestamp to the millisecond (ISO 8601), the level, the event in words, then
// key=value details, e.g.
//   2026-12-07T11:47:12.345Z INFO request pid=4242 user=HOST\ann command=status outcome=ok
// A value is written as it is when it holds only letters, digits and ._-/:\@, else in double
// quotes with \" \\ \n \r \t and \xNN for other control bytes. A line never exceeds
// kMaxLogLineBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace common {

inline constexpr std::size_t kMaxLogLineBytes = 4096;

enum class LogLevel { kInfo, kWarning, kError };

// UTC, as the system clock gives it.
struct LogTime {
  int year = 1601, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// One key=value detail. It views its key and text, which must outlive it, and holds a number
// itself: building one allocates nothing and cannot fail.
class LogField {
 public:
  LogField(std::string_view key, std::string_view text) noexcept : key_(key), text_(text) {}
  LogField(std::string_view key, std::uint64_t number) noexcept;

  [[nodiscard]] std::string_view key() const noexcept { return key_; }
  [[nodiscard]] std::string_view value() const noexcept {
    return number_size_ > 0 ? std::string_view(number_, number_size_) : text_;
  }

 private:
  std::string_view key_;
  std::string_view text_;
  char number_[20] = {};
  std::size_t number_size_ = 0;
};

// One line, ending in a line feed, at most kMaxLogLineBytes long: a line that would be longer is
// cut (at a UTF-8 character boundary) and ends in "...".
[[nodiscard]] std::string FormatLogLine(const LogTime& time, LogLevel level, std::string_view event,
                                        std::initializer_list<LogField> fields);

// `text` with every run of 40 or more base64 characters (with any "=" after it) replaced by
// "[redacted]": WireGuard's keys are 44 such characters. What WireGuard prints goes to the log
// only through this.
[[nodiscard]] std::string RedactKeys(std::string_view text);

// A sign-in link with only its scheme, host and path: no user information, query or fragment,
// which carry sign-in codes.
[[nodiscard]] std::string LinkForLog(std::string_view link);

// The text up to its first line break.
[[nodiscard]] std::string_view FirstLine(std::string_view text);

}  // namespace common
