#include "tunnel_helper/failure_message.h"

#include <gtest/gtest.h>

#include <string>

#include "common/helper_protocol.h"

namespace {

using tunnel_helper::FailureWithDetail;
using tunnel_helper::kDetailShortenedLine;

constexpr char kSentence[] = "WireGuard couldn't install the tunnel.";

std::size_t EncodedSize(const std::string& message) {
  return common::EncodeHelperResponse(common::MakeFailureResponse(message)).size();
}

TEST(FailureWithDetail, ShortDetailsAreKeptWhole) {
  EXPECT_EQ(FailureWithDetail(kSentence, ""), kSentence);
  EXPECT_EQ(FailureWithDetail(kSentence, "one line"), std::string(kSentence) + "\n\none line");
}

// 200 KiB of output, with characters of two to four bytes and bytes that are escaped, keeps its
// beginning, cut between characters, and says it was shortened, in a response the app accepts.
TEST(FailureWithDetail, LongOutputIsShortenedToFitTheResponse) {
  // A unit of output, repeated, and the size of the characters it holds.
  const std::pair<std::string, std::size_t> cases[] = {
      {"a\"\\\n", 1}, {"\xc3\xa9", 2}, {"\xe2\x82\xac", 3}, {"\xf0\x9f\x94\x91", 4}};
  for (const auto& [unit, character_bytes] : cases) {
    std::string output;
    while (output.size() < 200 * 1024) output += unit;
    const std::string message = FailureWithDetail(kSentence, output);
    const std::string head = std::string(kSentence) + "\n\n";
    ASSERT_EQ(message.rfind(head, 0), 0u);
    const std::string kept = message.substr(
        head.size(), message.size() - head.size() - std::string(kDetailShortenedLine).size());
    EXPECT_EQ(message.substr(head.size() + kept.size()), kDetailShortenedLine);
    EXPECT_EQ(output.rfind(kept, 0), 0u) << "the beginning of the output";
    EXPECT_EQ(kept.size() % character_bytes, 0u) << "cut between characters";
    EXPECT_LE(EncodedSize(message), common::kMaxHelperResponseBytes);
    EXPECT_GT(EncodedSize(message) + 2 * unit.size(), common::kMaxHelperResponseBytes)
        << "no more cut";
  }
}

}  // namespace
