// A program's log file, with one previous generation, and the process's log that the program's
// code writes to. Logging never fails what the program is doing: a log that cannot be opened or
// written is skipped.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/log_line.h"
#include "common/unique_handle.h"

namespace common {

// Past this size a log moves to "<name>.1", replacing the generation before: at most twice this
// per log.
inline constexpr ULONGLONG kMaxLogFileBytes = 1 << 20;
// After a failed open or write the log is skipped this long before the next attempt.
inline constexpr ULONGLONG kLogRetryDelayMs = 60000;

// Opens the folder that holds the log and returns it held open (the log is written only while it
// is held); nothing when the folder cannot be had.
using LogFolderOpener = std::function<std::vector<UniqueFileHandle>()>;

// Appends lines to `path`. Thread-safe. Its handles are never inherited by child processes.
class LogFile {
 public:
  // `file_sddl`: the descriptor a new log file is created with; null for the folder's default.
  LogFile(std::wstring path, LogFolderOpener open_folder, const wchar_t* file_sddl);
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void Write(LogLevel level, std::string_view event,
             std::initializer_list<LogField> fields) noexcept;

 private:
  [[nodiscard]] bool Open() noexcept;
  [[nodiscard]] bool Rotate() noexcept;
  [[nodiscard]] bool Append(const std::string& line) noexcept;

  const std::wstring path_;
  const LogFolderOpener open_folder_;
  const wchar_t* const file_sddl_;
  std::mutex mutex_;
  std::atomic<DWORD> writing_thread_{0};  // the thread that holds `mutex_` while it writes
  std::vector<std::string> deferred_;     // lines logged while the log's folder was opened
  std::vector<UniqueFileHandle> folder_;
  UniqueFileHandle file_;
  ULONGLONG skip_until_ = 0;  // GetTickCount64() time before which nothing is tried
};

// Makes `log` the process's log (none when null); lines being written meanwhile go to the one
// before.
void SetProcessLog(std::unique_ptr<LogFile> log);

[[nodiscard]] bool HasProcessLog() noexcept;

// Writes to the process's log; nothing when it has none.
void Log(LogLevel level, std::string_view event,
         std::initializer_list<LogField> fields = {}) noexcept;

// Milliseconds since `start` (a GetTickCount64() time), for a duration field.
[[nodiscard]] std::uint64_t MillisecondsSince(ULONGLONG start) noexcept;

}  // namespace common
