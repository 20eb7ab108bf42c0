#include "tunnel_helper/script_hooks.h"

#include <array>
#include <cctype>

namespace tunnel_helper {
namespace {

constexpr std::array<std::string_view, 4> kHookKeys = {"preup", "postup", "predown", "postdown"};

// Whether the key before "=" is a hook key. Only its ASCII letters are compared, in lower case:
// everything else is dropped, so that no blank, byte-order mark or Unicode space that WireGuard
// might trim hides a key, and the long s (U+017F) counts as "s", as a case-folding comparison
// would take it. A key that only looks like a hook this way is not one WireGuard accepts either.
bool SetsHook(std::string_view line) noexcept {
  line = line.substr(0, line.find('#'));  // A comment runs to the end of its line.
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = line.substr(0, equals);
  std::array<char, 8> letters{};  // The longest hook key has eight letters.
  std::size_t count = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(key[i]);
    char letter = 0;
    if (std::isalpha(byte)) {
      letter = static_cast<char>(std::tolower(byte));
    } else if (byte == 0xC5 && i + 1 < key.size() &&
               static_cast<unsigned char>(key[i + 1]) == 0xBF) {
      letter = 's';
      ++i;
    } else {
      continue;
    }
    if (count == letters.size()) return false;
    letters[count++] = letter;
  }
  const std::string_view key_letters(letters.data(), count);
  for (const std::string_view hook : kHookKeys) {
    if (key_letters == hook) return true;
  }
  return false;
}

}  // namespace

bool ContainsScriptHooks(std::string_view config) noexcept {
  while (!config.empty()) {
    // Lines end at LF, CR LF or a lone CR: WireGuard accepts all three.
    const std::size_t end = config.find_first_of("\r\n");
    if (SetsHook(config.substr(0, end))) return true;
    if (end == std::string_view::npos) break;
    config.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace tunnel_helper
