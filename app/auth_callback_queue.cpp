#include "app/auth_callback_queue.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace app {

bool IsAuthCallbackLink(std::string_view text) noexcept {
  static constexpr std::string_view kScheme = "daviza://";
  if (text.size() < kScheme.size()) return false;
  return std::equal(kScheme.begin(), kScheme.end(), text.begin(), [](char expected, char given) {
    return std::tolower(static_cast<unsigned char>(given)) == expected;
  });
}

std::string StripLineBreaks(std::string_view text) {
  std::string stripped;
  stripped.reserve(text.size());
  std::copy_if(text.begin(), text.end(), std::back_inserter(stripped),
               [](char byte) { return byte != '\r' && byte != '\n'; });
  return stripped;
}

void AuthCallbackQueue::Add(std::string_view link) {
  if (!IsAuthCallbackLink(link)) return;
  std::string normalized = StripLineBreaks(link);
  std::erase(links_, normalized);
  links_.push_back(std::move(normalized));
  while (links_.size() > kAuthCallbackQueueCapacity) links_.pop_front();
}

std::string AuthCallbackQueue::PopFront() {
  std::string link = std::move(links_.front());
  links_.pop_front();
  return link;
}

AuthCallbackQueue AuthCallbackQueue::FromFileBytes(std::string_view bytes) {
  AuthCallbackQueue queue;
  while (!bytes.empty()) {
    const std::size_t line_end = bytes.find('\n');
    queue.Add(bytes.substr(0, line_end));
    if (line_end == std::string_view::npos) break;
    bytes.remove_prefix(line_end + 1);
  }
  return queue;
}

std::string AuthCallbackQueue::ToFileBytes() const {
  std::string bytes;
  for (const std::string& link : links_) {
    bytes += link;
    bytes += '\n';
  }
  return bytes;
}

AuthCallbackQueue& PendingAuthCallbacks() {
  static AuthCallbackQueue pending;
  return pending;
}

void AddPendingAuthCallback(std::string_view link) { PendingAuthCallbacks().Add(link); }

}  // namespace app
