// What the test service and its tests share: the fingerprint its "echo" answers for a request (its
// size and FNV-1a hash, so that a test can tell that every byte arrived without sending the
// request back) and the event its "sleep" sets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace pipe_test {

// Set by the test service when it begins to carry out a "sleep" request.
inline constexpr wchar_t kSleepingEvent[] = L"Global\\ZeqTestHelperSleeping";

inline std::string Fingerprint(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char text[64];
  std::snprintf(text, sizeof(text), "%zu:%016llx", bytes.size(),
                static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace pipe_test
