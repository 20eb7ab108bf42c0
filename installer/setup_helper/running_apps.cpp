#include "installer/setup_helper/running_apps.h"

#include <tlhelp32.h>

#include <vector>

#include "app/win32_window.h"
#include "common/unique_handle.h"

namespace setup_helper {
namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct RunningApp {
  DWORD process_id = 0;
  common::UniqueHandle process;
};

std::vector<RunningApp> FindRunningApps(const std::wstring& program_path) {
  std::vector<RunningApp> apps;
  const common::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return apps;
  const std::wstring file_name = FileNameOf(program_path);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    // The name first: opening every process of the machine would be slow and noisy.
    if (!SamePath(entry.szExeFile, file_name)) continue;
    common::UniqueHandle process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                    entry.th32ProcessID));
    if (!process) continue;
    std::wstring image(MAX_PATH * 4, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) continue;
    image.resize(size);
    // Another install's app, or another program of the same name, is not ours to close.
    if (SamePath(image, program_path)) apps.push_back({entry.th32ProcessID, std::move(process)});
  }
  return apps;
}

// The app's main window only: the other windows of the process (the engine's, the input method's)
// are not the user's to close.
BOOL CALLBACK PostCloseToMainWindow(HWND window, LPARAM process_id) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t class_name[64] = {};
  if (owner == static_cast<DWORD>(process_id) &&
      GetClassNameW(window, class_name, static_cast<int>(std::size(class_name))) > 0 &&
      std::wstring_view(class_name) == app::kWindowClassName) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

bool EndsWithin(HANDLE process, ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
  return WaitForSingleObject(process, left) == WAIT_OBJECT_0;
}

}  // namespace

CloseOutcome CloseRunningApps(const std::wstring& program_path, DWORD wait_ms, bool end_the_rest) {
  std::vector<RunningApp> apps = FindRunningApps(program_path);
  if (apps.empty()) return CloseOutcome::kNoneRunning;
  for (const RunningApp& app : apps) {
    EnumWindows(PostCloseToMainWindow, static_cast<LPARAM>(app.process_id));
  }
  const ULONGLONG deadline = GetTickCount64() + wait_ms;
  bool all_ended = true;
  for (const RunningApp& app : apps) {
    if (EndsWithin(app.process.get(), deadline)) continue;
    if (!end_the_rest) return CloseOutcome::kStillRunning;
    TerminateProcess(app.process.get(), ERROR_PROCESS_ABORTED);
    all_ended = EndsWithin(app.process.get(), GetTickCount64() + 5000) && all_ended;
  }
  return all_ended ? CloseOutcome::kClosed : CloseOutcome::kStillRunning;
}

bool StartAsShellUser(const std::wstring& program_path) {
  const HWND shell = GetShellWindow();
  DWORD shell_process_id = 0;
  if (shell == nullptr || GetWindowThreadProcessId(shell, &shell_process_id) == 0) return false;
  const common::UniqueHandle shell_process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell_process_id));
  common::UniqueHandle shell_token;
  if (!shell_process ||
      !OpenProcessToken(shell_process.get(), TOKEN_DUPLICATE, shell_token.receive())) {
    return false;
  }
  common::UniqueHandle token;
  if (!DuplicateTokenEx(shell_token.get(),
                        TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                            TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                        nullptr, SecurityImpersonation, TokenPrimary, token.receive())) {
    return false;
  }
  std::wstring command_line = L"\"" + program_path + L"\"";
  const std::wstring folder = program_path.substr(0, program_path.find_last_of(L'\\'));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessWithTokenW(token.get(), 0, program_path.c_str(), command_line.data(), 0,
                               nullptr, folder.c_str(), &startup, &started)) {
    return false;
  }
  const common::UniqueHandle process(started.hProcess);
  const common::UniqueHandle thread(started.hThread);
  return true;
}

}  // namespace setup_helper
