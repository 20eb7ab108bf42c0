#include "tunnel_helper/system_category_message.h"

#include "common/unique_handle.h"

namespace tunnel_helper {

namespace {

bool FindMessage(DWORD code, DWORD language, std::string& message) {
  common::UniqueLocalMemory buffer;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<LPSTR>(buffer.receive()), 0, nullptr);
  if (length == 0 || !buffer) {
    return false;
  }
  message.assign(static_cast<const char*>(buffer.get()), length);
  return true;
}

}  // namespace

std::string SystemCategoryMessage(DWORD code) {
  // Language 0 lets the system pick, ending with any language it has.
  const DWORD languages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), LANG_SYSTEM_DEFAULT, 0};
  std::string message;
  for (const DWORD language : languages) {
    if (FindMessage(code, language, message)) {
      break;
    }
  }
  const std::size_t end = message.find_last_not_of(std::string_view(" \t\r\n\0", 5));
  message.erase(end == std::string::npos ? 0 : end + 1);
  return message.empty() ? "unknown error" : message;
}

}  // namespace tunnel_helper
