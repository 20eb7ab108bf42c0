// The queue's rules: which texts are links, order, de-duplication, the limit of five, line breaks,
// and reading the queue file's bytes.
#include "app/auth_callback_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Links = std::vector<std::string>;

Links Contents(const app::AuthCallbackQueue& queue) { return {queue.begin(), queue.end()}; }

TEST(IsAuthCallbackLink, NeedsTheSchemeAndItsSlashesInAnyCaseFirst) {
  const struct {
    std::string_view text;
    bool link;
  } cases[] = {{"daviza://", true},         {"daviza://signin?code=a%20b", true},
               {"DaViZa://X", true},        {"daviza:/", false},
               {"daviza:/x/", false},       {" daviza://x", false},
               {"", false},                 {"davizb://x", false},
               {"https://daviza/", false},  {std::string_view("daviza:\0/x", 10), false}};
  for (const auto& c : cases) EXPECT_EQ(app::IsAuthCallbackLink(c.text), c.link) << c.text;
}

TEST(AuthCallbackQueue, KeepsTheLastFiveDistinctLinksInOrderOfLastAddition) {
  const struct {
    const char* name;
    Links added;
    Links held;
  } cases[] = {
      {"a repeated link moves to the back", {"daviza://a", "daviza://b", "daviza://a"},
       {"daviza://b", "daviza://a"}},
      {"seven links keep the last five",
       {"daviza://1", "daviza://2", "daviza://3", "daviza://4", "daviza://5", "daviza://6",
        "daviza://7"},
       {"daviza://3", "daviza://4", "daviza://5", "daviza://6", "daviza://7"}},
      {"line breaks are removed before comparing",
       {"daviza://a\r\n", "daviza://b", "daviza://a", "daviza://c\nd"},
       {"daviza://b", "daviza://a", "daviza://cd"}},
      {"comparison is case-sensitive", {"daviza://A", "daviza://a"}, {"daviza://A", "daviza://a"}},
      {"other text changes nothing", {"daviza://a", "", "https://x", "\ndaviza://y", "davi"},
       {"daviza://a"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    app::AuthCallbackQueue queue;
    for (const std::string& link : c.added) queue.Add(link);
    EXPECT_EQ(Contents(queue), c.held);
    EXPECT_EQ(queue.Count(), c.held.size());
    Links popped;
    while (!queue.Empty()) popped.push_back(queue.PopFront());
    EXPECT_EQ(popped, c.held) << "oldest first";
  }
}

TEST(AuthCallbackQueue, ReadsAnyFileBytesAsItsLastFiveDistinctLinks) {
  const struct {
    std::string_view bytes;
    Links held;
  } cases[] = {
      {"daviza://a\r\n\r\nnot a link\n\ndaviza://b\r\n", {"daviza://a", "daviza://b"}},
      {"daviza://1\ndaviza://2\ndaviza://3\ndaviza://4\ndaviza://5\ndaviza://1\ndaviza://6\n"
       "daviza://7\ndaviza://8\ndaviza://2\n",
       {"daviza://1", "daviza://6", "daviza://7", "daviza://8", "daviza://2"}},
      {"daviza://a\ndaviza://b", {"daviza://a", "daviza://b"}},
      {"daviza://a\rb\n\n\n", {"daviza://ab"}},
      {"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Contents(app::AuthCallbackQueue::FromFileBytes(c.bytes)), c.held)
        << testing::PrintToString(std::string(c.bytes));
  }
}

}  // namespace
