#include "tunnel_helper/failure_message.h"

#include <algorithm>
#include <array>

#include "common/helper_json.h"
#include "common/helper_protocol.h"

namespace tunnel_helper {
namespace {

// How many bytes each byte takes once escaped, from the encoder itself.
const std::array<unsigned char, 256>& EscapedByteSizes() {
  static const std::array<unsigned char, 256> sizes = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
      const char character = static_cast<char>(byte);
      table[byte] = static_cast<unsigned char>(common::EscapeJsonString({&character, 1}).size());
    }
    return table;
  }();
  return sizes;
}

std::size_t EscapedSize(std::string_view text) {
  std::size_t size = 0;
  for (const char character : text)
    size += EscapedByteSizes()[static_cast<unsigned char>(character)];
  return size;
}

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string FailureWithDetail(std::string_view sentence, std::string_view detail) {
  std::string message(sentence);
  if (detail.empty()) return message;
  message += "\n\n";
  const std::size_t framing =
      common::EncodeHelperResponse(common::MakeFailureResponse(message)).size();
  if (framing + EscapedSize(detail) <= common::kMaxHelperResponseBytes) {
    message += detail;
    return message;
  }
  const std::size_t shortened_line = EscapedSize(kDetailShortenedLine);
  const std::size_t room = common::kMaxHelperResponseBytes -
                           std::min(common::kMaxHelperResponseBytes, framing + shortened_line);
  std::size_t kept = 0;
  for (std::size_t used = 0; kept < detail.size(); ++kept) {
    used += EscapedByteSizes()[static_cast<unsigned char>(detail[kept])];
    if (used > room) break;
  }
  // Step back to the start of a character; at most three bytes, so that bytes that are not UTF-8
  // at all are not all dropped.
  for (int step = 0; step < 3 && kept > 0 && IsContinuationByte(detail[kept]); ++step) --kept;
  message.append(detail.substr(0, kept));
  message += kDetailShortenedLine;
  return message;
}

}  // namespace tunnel_helper
