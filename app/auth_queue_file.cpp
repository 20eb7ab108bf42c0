// The queue file's reads and writes. The AuthQueueLock keeps processes apart, so the files are
// opened sharing everything and one temporary name serves every process.
#include "app/auth_queue_file.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/auth_callback_queue.h"
#include "common/file_bytes.h"
#include "common/unique_handle.h"

namespace app {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring TemporaryPath(const std::wstring& queue_file) { return queue_file + L".tmp"; }

[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::size_t written_total = 0;
  while (written_total < bytes.size()) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written_total, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data() + written_total, chunk, &written, nullptr) ||
        written == 0) {
      return false;
    }
    written_total += written;
  }
  // The rename makes the file the queue; its content must be on disk before that.
  return FlushFileBuffers(file.get()) != FALSE;
}

}  // namespace

std::optional<std::wstring> LocalAppDataFolder() {
  DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  while (size != 0) {
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), size);
    if (length < size) {
      if (length == 0) break;
      value.resize(length);
      return value;
    }
    size = length;  // the variable grew in between
  }
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (error) return std::nullopt;
  return temporary.wstring();
}

std::optional<std::wstring> AuthQueueFilePath() {
  const std::optional<std::wstring> folder = LocalAppDataFolder();
  if (!folder) return std::nullopt;
  std::wstring path = *folder;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + L"ZEQ VPN\\auth_callbacks.txt";
}

AuthCallbackQueue AuthCallbackQueue::Load() {
  const std::optional<std::wstring> path = AuthQueueFilePath();
  if (!path) return {};
  return FromFileBytes(common::ReadWholeFile(*path).value_or(""));
}

void AuthCallbackQueue::Save() const {
  const std::optional<std::wstring> path = AuthQueueFilePath();
  if (!path) return;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(*path).parent_path(), ignored);
  if (Empty()) {
    DeleteFileW(path->c_str());
    return;
  }
  // The rename replaces the queue file in one step, so a process that ends at any point leaves
  // either the earlier queue or the new one.
  const std::wstring temporary = TemporaryPath(*path);
  if (!WriteWholeFile(temporary, ToFileBytes()) ||
      !MoveFileExW(temporary.c_str(), path->c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    DeleteFileW(temporary.c_str());
  }
}

}  // namespace app
