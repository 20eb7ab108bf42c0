// The queue's rules: which texts are links, order, de-duplication, the limit of five, line
// breaks, and reading the queue file's bytes.
#include "app/auth_callback_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Links = std::vector<std::string>;

// "daviza://" and each name, in order.
Links Named(std::initializer_list<const char*> names) {
  Links links;
  for (const char* name : names) links.push_back(std::string("daviza://") + name);
  return links;
}

TEST(AuthCallbackQueue, KeepsTheLastFiveDistinctLinksInOrderOfLastAddition) {
  // The links added, and those the queue holds then.
  const std::pair<Links, Links> cases[] = {
      {Named({"a", "b", "a"}), Named({"b", "a"})},
      {Named({"1", "2", "3", "4", "5", "6", "7"}), Named({"3", "4", "5", "6", "7"})},
      {Named({"a\r\n", "b", "a", "c\nd"}), Named({"b", "a", "cd"})},
      {{"daviza://A", "DaViZa://x", "daviza://a", "daviza://"},
       {"daviza://A", "DaViZa://x", "daviza://a", "daviza://"}},
      {{"", "daviza:/", "daviza:/x/", " daviza://x", "\ndaviza://x", "https://daviza/",
        std::string("daviza:\0//", 10)},
       {}},
  };
  for (const auto& [added, held] : cases) {
    app::AuthCallbackQueue queue;
    for (const std::string& link : added) queue.Add(link);
    EXPECT_EQ(queue.Count(), held.size());
    Links popped;
    while (!queue.Empty()) popped.push_back(queue.PopFront());
    EXPECT_EQ(popped, held) << testing::PrintToString(added);
  }
}

TEST(AuthCallbackQueue, ReadsAnyFileBytesAsItsLastFiveDistinctLinks) {
  const std::pair<std::string_view, Links> cases[] = {
      {"daviza://a\r\n\r\nnot a link\n\ndaviza://b\r\n", Named({"a", "b"})},
      {"daviza://1\ndaviza://2\ndaviza://3\ndaviza://4\ndaviza://5\ndaviza://1\ndaviza://6\n"
       "daviza://7\ndaviza://8\ndaviza://2\n",
       Named({"1", "6", "7", "8", "2"})},
      {"daviza://a\rb\n\n\ndaviza://c", Named({"ab", "c"})},
      {"", {}},
  };
  for (const auto& [bytes, held] : cases) {
    const app::AuthCallbackQueue queue = app::AuthCallbackQueue::FromFileBytes(bytes);
    EXPECT_EQ(Links(queue.begin(), queue.end()), held) << bytes;
  }
}

}  // namespace
