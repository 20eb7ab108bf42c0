#include "standins/wireguard/output.h"

#include <atomic>
#include <thread>

#include "common/unique_handle.h"
#include "common/windows_error.h"

namespace wireguard_standin {

namespace {

bool WriteAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

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
  WriteAll(handle, text);
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

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring OwnDirectory() {
  const std::wstring path = OwnPath();
  return path.substr(0, path.find_last_of(L'\\'));
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
      (OwnDirectory() + L"\\wireguard-runs.log").c_str(), FILE_APPEND_DATA,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log) {
    WriteAll(log.get(), line);
  }
}

}  // namespace wireguard_standin
