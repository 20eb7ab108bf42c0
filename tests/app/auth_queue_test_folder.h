// Each Windows test of the queue file gets its own: LOCALAPPDATA, which child processes inherit,
// points at a fresh folder beside the test programs' folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/auth_callback_queue.h"
#include "tests/support/windows_service.h"

namespace auth_queue_test {

inline constexpr wchar_t kQueueFile[] = L"ZEQ VPN\\auth_callbacks.txt";

inline std::filesystem::path BuildFolder() {
  return std::filesystem::path(test_support::ProgramFolder()).parent_path();
}

// Also forgets the links a previous test left pending in this process.
inline std::filesystem::path UseFreshLocalAppData() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path folder = BuildFolder() / "auth queue tests" /
                                       (std::string(test->test_suite_name()) + "." + test->name());
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  SetEnvironmentVariableW(L"LOCALAPPDATA", folder.c_str());
  while (!app::PendingAuthCallbacks().Empty()) app::PendingAuthCallbacks().PopFront();
  return folder;
}

// Nothing when the file is missing; at most 64 KiB, so a file bound to a device that never ends
// still gives an answer.
inline std::optional<std::string> ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes(1 << 16, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

}  // namespace auth_queue_test
