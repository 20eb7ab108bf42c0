// Sign-in links ("daviza://...") and the small ordered queue that holds them: in memory for the
// first instance, and in the queue file that later starts of the app hand their links over in.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace app {

inline constexpr std::size_t kAuthCallbackQueueCapacity = 5;

// True when `text` starts with "daviza://", ASCII case ignored. Nothing after the scheme is
// looked at.
bool IsAuthCallbackLink(std::string_view text) noexcept;

// `text` without any CR or LF byte, wherever they stand.
std::string StripLineBreaks(std::string_view text);

// At most five distinct links without line breaks, oldest first. Adding a link that is already
// held moves it to the back; beyond five, the oldest fall out.
class AuthCallbackQueue {
 public:
  using const_iterator = std::deque<std::string>::const_iterator;

  // Ignores anything that is not a link; the link is stored without its line breaks.
  void Add(std::string_view link);
  // Removes and returns the oldest link. The queue must not be empty.
  std::string PopFront();
  std::size_t Count() const noexcept { return links_.size(); }
  bool Empty() const noexcept { return links_.empty(); }
  const_iterator begin() const noexcept { return links_.begin(); }
  const_iterator end() const noexcept { return links_.end(); }

  // The queue file's format: every link followed by one LF. Reading splits at LF, drops CR
  // anywhere and adds the lines in order, so any bytes give the last five distinct links.
  static AuthCallbackQueue FromFileBytes(std::string_view bytes);
  std::string ToFileBytes() const;

 private:
  std::deque<std::string> links_;
};

// The first instance's links that the Dart side has not taken yet. Used on the window thread only.
AuthCallbackQueue& PendingAuthCallbacks();
void AddPendingAuthCallback(std::string_view link);

}  // namespace app
