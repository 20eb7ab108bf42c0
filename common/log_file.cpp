#include "common/log_file.h"

#include <sddl.h>

#include <utility>

#include "common/file_bytes.h"

namespace common {
namespace {

struct ProcessLogSlot {
  std::mutex mutex;
  std::shared_ptr<LogFile> log;
};

ProcessLogSlot& ProcessLog() {
  static ProcessLogSlot slot;
  return slot;
}

std::shared_ptr<LogFile> CurrentProcessLog() noexcept {
  ProcessLogSlot& slot = ProcessLog();
  const std::lock_guard lock(slot.mutex);
  return slot.log;
}

LogTime Now() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  return {.year = now.wYear,
          .month = now.wMonth,
          .day = now.wDay,
          .hour = now.wHour,
          .minute = now.wMinute,
          .second = now.wSecond,
          .millisecond = now.wMilliseconds};
}

}  // namespace

LogFile::LogFile(std::wstring path, LogFolderOpener open_folder, const wchar_t* file_sddl)
    : path_(std::move(path)), open_folder_(std::move(open_folder)), file_sddl_(file_sddl) {}

bool LogFile::Open() noexcept {
  folder_ = open_folder_();
  if (folder_.empty()) return false;
  UniqueLocalMemory descriptor;
  if (file_sddl_ != nullptr && !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                   file_sddl_, SDDL_REVISION_1, descriptor.receive(), nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = descriptor.get();
  security.bInheritHandle = FALSE;
  // Shared: readers look at the log while it is written, and two starts of the app write to one
  // log, each moving it aside when it is full. Appends land whole at its end.
  file_.reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                          nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  // Never written through a link, symbolic or hard.
  if (!file_ || !GetFileInformationByHandle(file_.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1) {
    file_.reset();
    return false;
  }
  return true;
}

bool LogFile::Rotate() noexcept {
  file_.reset();
  const std::wstring previous = path_ + L".1";
  return MoveFileExW(path_.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE && Open();
}

bool LogFile::Append(const std::string& line) noexcept {
  LARGE_INTEGER size{};
  // The size is read each time: another process may write to the same log.
  return (file_.valid() || Open()) && GetFileSizeEx(file_.get(), &size) &&
         (static_cast<ULONGLONG>(size.QuadPart) + line.size() <= kMaxLogFileBytes || Rotate()) &&
         WriteAll(file_.get(), line);
}

void LogFile::Write(LogLevel level, std::string_view event,
                    std::initializer_list<LogField> fields) noexcept {
  try {
    std::string line = FormatLogLine(Now(), level, event, fields);
    const DWORD thread = GetCurrentThreadId();
    if (writing_thread_.load() == thread) {
      // Opening the folder logs what it found in the way (a folder moved aside, a link refused):
      // those lines come back here while this thread holds the lock. They wait for the file.
      deferred_.push_back(std::move(line));
      return;
    }
    const std::lock_guard lock(mutex_);
    if (GetTickCount64() < skip_until_) return;
    writing_thread_ = thread;
    const struct Release {
      LogFile& log;
      ~Release() {
        log.deferred_.clear();
        log.writing_thread_ = 0;
      }
    } release{*this};
    bool written = file_.valid() || Open();
    deferred_.push_back(std::move(line));
    // By index and by value: writing one may rotate the log, and reopening it may defer more.
    for (std::size_t next = 0; written && next < deferred_.size(); ++next) {
      written = Append(std::string(deferred_[next]));
    }
    if (written) return;
    file_.reset();
    folder_.clear();
    skip_until_ = GetTickCount64() + kLogRetryDelayMs;
  } catch (...) {
    // Out of memory: the line is lost, the program goes on.
  }
}

void SetProcessLog(std::unique_ptr<LogFile> log) {
  std::shared_ptr<LogFile> replaced(std::move(log));
  ProcessLogSlot& slot = ProcessLog();
  const std::lock_guard lock(slot.mutex);
  slot.log.swap(replaced);
}

bool HasProcessLog() noexcept { return CurrentProcessLog() != nullptr; }

void Log(LogLevel level, std::string_view event, std::initializer_list<LogField> fields) noexcept {
  if (const std::shared_ptr<LogFile> log = CurrentProcessLog()) log->Write(level, event, fields);
}

std::uint64_t MillisecondsSince(ULONGLONG start) noexcept { return GetTickCount64() - start; }

}  // namespace common
