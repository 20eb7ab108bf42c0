// What the test service (tests/pipe/test_helper_service.cpp) and the tests that talk to it share:
// the fingerprint its "echo" answers for a request (its size and FNV-1a hash, so that a test can
// tell that every byte arrived without sending the request back), and the event its "sleep" sets.
// Free of GoogleTest: the test service includes it too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "common/helper_protocol.h"

namespace test_support {

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

// The test service's answer to an "echo" of `request`, the request as it reads it.
inline std::string EchoOf(const std::string& request) {
  const std::optional<common::HelperRequest> read = common::DecodeHelperRequest(request);
  return R"({"ok":true,"message":")" + Fingerprint(common::EncodeHelperRequest(*read)) + "\"}";
}

// An "echo" request of exactly `size` bytes whose config varies with `seed`.
inline std::string EchoRequestOfSize(std::size_t size, unsigned seed = 0) {
  const std::size_t frame = common::EncodeHelperRequest({.command = "echo", .config = ""}).size();
  std::string config(size > frame ? size - frame : 0, 'a');
  // Nothing that needs escaping.
  for (std::size_t i = 0; i < config.size(); ++i)
    config[i] = static_cast<char>('a' + (i * 31 + seed) % 26);
  return common::EncodeHelperRequest({.command = "echo", .config = config});
}

}  // namespace test_support
