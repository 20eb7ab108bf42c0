// The queue file's reads and writes. The AuthQueueLock keeps processes apart, so the files are
// opened sharing everything and one temporary name serves every process.
#include "app/shared_auth_callbacks.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "app/auth_callback_queue.h"
#include "app/session_mutex.h"
#include "common/file_bytes.h"
#include "common/log_file.h"

namespace app {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring TemporaryPath(const std::wstring& queue_file) { return queue_file + L".tmp"; }

[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !common::WriteAll(file.get(), bytes)) return false;
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

namespace {

// The queue file's content; an empty queue when the file is missing, unreadable or unavailable.
AuthCallbackQueue LoadQueueFile() {
  const std::optional<std::wstring> path = AuthQueueFilePath();
  if (!path) return {};
  return AuthCallbackQueue::FromFileBytes(common::ReadWholeFile(*path).value_or(""));
}

// Replaces the queue file in one step, or deletes it when the queue is empty. A save that cannot
// be written completely leaves the earlier file as it was.
void SaveQueueFile(const AuthCallbackQueue& queue) {
  const std::optional<std::wstring> path = AuthQueueFilePath();
  if (!path) return;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(*path).parent_path(), ignored);
  if (queue.Empty()) {
    DeleteFileW(path->c_str());
    return;
  }
  // The rename replaces the queue file in one step, so a process that ends at any point leaves
  // either the earlier queue or the new one.
  const std::wstring temporary = TemporaryPath(*path);
  if (!WriteWholeFile(temporary, queue.ToFileBytes()) ||
      !MoveFileExW(temporary.c_str(), path->c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    DeleteFileW(temporary.c_str());
  }
}

}  // namespace

common::UniqueHandle CreateAuthQueueMutex() noexcept {
  return CreateSessionMutex(L"Local\\DAVIZA.AuthQueue", false).handle;
}

AuthQueueLock::AuthQueueLock() noexcept : mutex_(CreateAuthQueueMutex()) {
  if (!mutex_) return;
  const DWORD wait = WaitForSingleObject(mutex_.get(), INFINITE);
  obtained_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

AuthQueueLock::~AuthQueueLock() {
  if (obtained_) ReleaseMutex(mutex_.get());
}

void EnqueueSharedAuthCallback(std::string_view link) {
  const AuthQueueLock lock;
  if (!lock.obtained()) return;
  AuthCallbackQueue queue = LoadQueueFile();
  queue.Add(link);
  SaveQueueFile(queue);
  common::Log(common::LogLevel::kInfo, "link handed over", {{"link", common::LinkForLog(link)}});
}

std::vector<std::string> DrainSharedAuthCallbacks() {
  const AuthQueueLock lock;
  if (!lock.obtained()) return {};
  const AuthCallbackQueue queue = LoadQueueFile();
  SaveQueueFile(AuthCallbackQueue());
  for (const std::string& link : queue) {
    common::Log(common::LogLevel::kInfo, "link received",
                {{"from", "a later start"}, {"link", common::LinkForLog(link)}});
  }
  return std::vector<std::string>(queue.begin(), queue.end());
}

}  // namespace app
