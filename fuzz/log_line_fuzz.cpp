// Feeds arbitrary bytes, as WireGuard prints them or a browser hands a link over, to what writes
// them into the logs: no key-like run, sign-in code or raw line break may come out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/log_line.h"

namespace {

bool HasKeyLikeRun(std::string_view text) {
  std::size_t run = 0;
  for (const char byte : text) {
    const bool base64 = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                        (byte >= '0' && byte <= '9') || byte == '+' || byte == '/';
    run = base64 ? run + 1 : 0;
    if (run >= 40) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string redacted = common::RedactKeys(text);
  const std::string link = common::LinkForLog(text);
  const std::string line = common::FormatLogLine({}, common::LogLevel::kWarning, "event",
                                                 {{"output", redacted}, {"link", link}});
  if (HasKeyLikeRun(redacted) || link.find_first_of("?#") != std::string::npos ||
      link.size() > text.size() || line.size() > common::kMaxLogLineBytes ||
      line.find('\n') != line.size() - 1 || line.find('\r') != std::string::npos) {
    __builtin_trap();
  }
  return 0;
}
