// What the test service's "echo" answers for a request: its size and FNV-1a hash, so that a test
// can tell that every byte arrived without sending the request back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace pipe_test {

inline std::string Fingerprint(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char text[64];
  std::snprintf(text, sizeof(text), "%zu:%016llx", bytes.size(),
                static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace pipe_test
