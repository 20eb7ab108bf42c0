#include "standins/wireguard/output.h"

#include <atomic>
#include <thread>

#include "common/executable_path.h"
#include "common/file_bytes.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"

namespace wireguard_standin {

void WriteStandard(DWORD which, std::string_view text) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
    return;
  }
  common::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread watchdog([event = done.get()] {
    if (WaitForSingleObject(event, kOutputDeadlineMs) == WAIT_TIMEOUT) {
      ExitProcess(kOutputStalledExitCode);
    }
  });
  static_cast<void>(common::WriteAll(handle, text));
  SetEvent(done.get());
  watchdog.join();
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void AppendRunLog(int argc, wchar_t** argv) {
  std::string line;
  for (int index = 1; index < argc; ++index) {
    if (index > 1) {
      line += '\t';
    }
    line += common::WideToUtf8(argv[index]);
  }
  line += "\r\n";
  const common::UniqueFileHandle log(CreateFileW(
      (common::ExecutableFolder() + L"\\wireguard-runs.log").c_str(), FILE_APPEND_DATA,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log) {
    static_cast<void>(common::WriteAll(log.get(), line));
  }
}

}  // namespace wireguard_standin
