#include "tests/tunnel_helper/tunnel_test_support.h"

#include <algorithm>

#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tests/support/windows_service.h"

namespace tunnel_test {
namespace {

constexpr DWORD kPollMs = 50;

// Polls `done` until it holds or `limit_ms` pass; true when it held.
template <typename Condition>
bool PollUntil(Condition done, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) {
      return true;
    }
    if (GetTickCount() - start > limit_ms) {
      return false;
    }
    Sleep(kPollMs);
  }
}

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

void CreateFolders(const std::wstring& folder) {
  if (folder.size() <= 3 || PathExists(folder.c_str())) {
    return;
  }
  CreateFolders(ParentOf(folder));
  CreateDirectoryW(folder.c_str(), nullptr);
}

// The Unix path of a Windows path in the prefix, through Wine's own export.
std::optional<std::string> UnixPathOf(const wchar_t* path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto unix_file_name = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_file_name == nullptr) {
    return std::nullopt;
  }
  char* name = unix_file_name(path);
  if (name == nullptr) {
    return std::nullopt;
  }
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::wstring QuotedUnixArgument(const std::string& path) {
  std::wstring quoted = L"\"";
  quoted += std::wstring(path.begin(), path.end());
  quoted += L"\"";
  return quoted;
}

// Starts a Unix program. Wine starts it detached and hands back no handle to wait on, so callers
// poll for its effect.
bool StartUnixProgram(const wchar_t* program, const std::wstring& command_line) {
  std::wstring writable = command_line;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  common::UniqueHandle process_handle(process.hProcess);
  common::UniqueHandle thread_handle(process.hThread);
  return true;
}

// Removes a link itself. Under Wine, RemoveDirectoryW on a directory link removes the directory it
// points to, and DeleteFileW refuses it, so the link goes through /bin/rm.
void RemoveLink(const std::wstring& path) {
  const std::optional<std::string> unix_path = UnixPathOf(path.c_str());
  if (!unix_path) {
    return;
  }
  if (StartUnixProgram(L"Z:\\bin\\rm", L"rm -f " + QuotedUnixArgument(*unix_path))) {
    PollUntil([&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000);
  }
}

std::optional<DWORD> ReadTunnelServiceStatus(SC_HANDLE service, DWORD* process_id = nullptr) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof(status), &needed)) {
    return std::nullopt;
  }
  if (process_id != nullptr) {
    *process_id = status.dwProcessId;
  }
  return status.dwCurrentState;
}

}  // namespace

std::string TunnelConfig(std::string_view directives) {
  std::string config =
      "[Interface]\r\n"
      "PrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\r\n"
      "Address = 10.8.0.2/32\r\n"
      "DNS = 10.8.0.1\r\n"
      "\r\n"
      "[Peer]\r\n"
      "PublicKey = xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=\r\n"
      "AllowedIPs = 0.0.0.0/0\r\n"
      "Endpoint = vpn.example.net:51820\r\n";
  config += directives;
  return config;
}

::testing::AssertionResult PlaceWireGuardStandIn(const wchar_t* path) {
  CreateFolders(ParentOf(path));
  const std::wstring built = test_support::ProgramFolder() + L"\\wireguard.exe";
  if (!CopyFileW(built.c_str(), path, FALSE)) {
    return ::testing::AssertionFailure() << "copying " << common::WideToUtf8(built) << ": "
                                         << tunnel_helper::DescribeWindowsError(GetLastError());
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult PlaceBrokenWireGuard(const wchar_t* path) {
  CreateFolders(ParentOf(path));
  return WriteFileBytes(path, "This is not a program.\r\n");
}

void RemoveWireGuardInstallations() {
  RemoveTree(ParentOf(kWireGuardExe));
  RemoveTree(ParentOf(kWireGuardExeX86));
}

std::vector<std::vector<std::string>> WireGuardRuns(const wchar_t* exe_path) {
  const std::wstring log_path = ParentOf(exe_path) + L"\\wireguard-runs.log";
  const std::string log = ReadFileBytes(log_path.c_str()).value_or("");
  std::vector<std::vector<std::string>> runs;
  std::size_t line_start = 0;
  while (line_start < log.size()) {
    std::size_t line_end = log.find("\r\n", line_start);
    if (line_end == std::string::npos) {
      line_end = log.size();
    }
    std::vector<std::string> arguments;
    std::size_t field_start = line_start;
    for (;;) {
      const std::size_t tab = log.find('\t', field_start);
      if (tab == std::string::npos || tab > line_end) {
        arguments.push_back(log.substr(field_start, line_end - field_start));
        break;
      }
      arguments.push_back(log.substr(field_start, tab - field_start));
      field_start = tab + 1;
    }
    runs.push_back(std::move(arguments));
    line_start = line_end + 2;
  }
  return runs;
}

std::optional<TunnelServiceStatus> QueryTunnelService() {
  const common::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  const common::UniqueServiceHandle service(
      manager ? OpenServiceW(manager.get(), kTunnelServiceName, SERVICE_QUERY_STATUS) : nullptr);
  if (!service) {
    return std::nullopt;
  }
  TunnelServiceStatus status;
  const std::optional<DWORD> state = ReadTunnelServiceStatus(service.get(), &status.processId);
  if (!state) {
    return std::nullopt;
  }
  status.state = *state;
  return status;
}

::testing::AssertionResult RemoveTunnelService() {
  const common::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    return ::testing::AssertionFailure()
           << "service manager: " << tunnel_helper::DescribeWindowsError(GetLastError());
  }
  {
    const common::UniqueServiceHandle service(OpenServiceW(
        manager.get(), kTunnelServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
      return ::testing::AssertionSuccess();
    }
    SERVICE_STATUS ignored{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &ignored);
    DWORD process_id = 0;
    const auto stopped = [&] {
      const std::optional<DWORD> state = ReadTunnelServiceStatus(service.get(), &process_id);
      return !state || *state == SERVICE_STOPPED;
    };
    if (!PollUntil(stopped, 5000) && process_id != 0) {
      const common::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, process_id));
      if (process) {
        TerminateProcess(process.get(), 1);
      }
      PollUntil(stopped, 5000);
    }
    DeleteService(service.get());
  }
  const bool gone = PollUntil(
      [&] {
        const common::UniqueServiceHandle probe(
            OpenServiceW(manager.get(), kTunnelServiceName, SERVICE_QUERY_STATUS));
        return !probe && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
      },
      5000);
  if (!gone) {
    return ::testing::AssertionFailure() << "the tunnel service is still registered";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult InstallTunnelWithBuiltStandIn(std::string_view config) {
  CreateFolders(kConfigDirectory);
  if (::testing::AssertionResult written = WriteFileBytes(kConfigPath, config); !written) {
    return written;
  }
  const std::wstring program = test_support::ProgramFolder() + L"\\wireguard.exe";
  std::wstring command_line =
      L"\"" + program + L"\" /installtunnelservice \"" + std::wstring(kConfigPath) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    return ::testing::AssertionFailure()
           << "starting the stand-in: " << tunnel_helper::DescribeWindowsError(GetLastError());
  }
  const common::UniqueHandle process_handle(process.hProcess);
  const common::UniqueHandle thread_handle(process.hThread);
  DWORD exit_code = 0;
  if (WaitForSingleObject(process_handle.get(), 10000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process_handle.get(), &exit_code) || exit_code != 0) {
    return ::testing::AssertionFailure()
           << "the stand-in's install failed: exit code " << exit_code;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult WaitUntilTunnelServiceRuns(DWORD limit_ms) {
  if (PollUntil(
          [] {
            const std::optional<TunnelServiceStatus> status = QueryTunnelService();
            return status && status->state == SERVICE_RUNNING;
          },
          limit_ms)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "the tunnel service did not run within " << limit_ms << " ms";
}

std::optional<std::string> ReadFileBytes(const wchar_t* path) {
  const common::UniqueFileHandle file(
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return std::nullopt;
  }
  std::string content;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr)) {
      return std::nullopt;
    }
    if (read == 0) {
      return content;
    }
    content.append(buffer, read);
  }
}

::testing::AssertionResult WriteFileBytes(const wchar_t* path, std::string_view bytes) {
  const common::UniqueFileHandle file(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file ||
      !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    return ::testing::AssertionFailure() << "writing " << common::WideToUtf8(path) << ": "
                                         << tunnel_helper::DescribeWindowsError(GetLastError());
  }
  return ::testing::AssertionSuccess();
}

bool PathExists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    RemoveLink(path);
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    std::vector<std::wstring> children;
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") {
        children.push_back(path + L"\\" + name);
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    for (const std::wstring& child : children) {
      RemoveTree(child);
    }
  }
  RemoveDirectoryW(path.c_str());
}

::testing::AssertionResult PlantDirectoryLink(const wchar_t* link, const wchar_t* target) {
  CreateFolders(ParentOf(link));
  const std::optional<std::string> unix_link = UnixPathOf(link);
  const std::optional<std::string> unix_target = UnixPathOf(target);
  if (!unix_link || !unix_target) {
    return ::testing::AssertionFailure() << "no Unix path: this helper needs Wine";
  }
  if (!StartUnixProgram(L"Z:\\bin\\ln", L"ln -s " + QuotedUnixArgument(*unix_target) + L" " +
                                            QuotedUnixArgument(*unix_link))) {
    return ::testing::AssertionFailure()
           << "starting /bin/ln: " << tunnel_helper::DescribeWindowsError(GetLastError());
  }
  constexpr DWORD kDirectoryLink = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (!PollUntil([&] { return GetFileAttributesW(link) == kDirectoryLink; }, 5000)) {
    return ::testing::AssertionFailure() << common::WideToUtf8(link) << " did not become a link";
  }
  return ::testing::AssertionSuccess();
}

void CleanMachineTest::SetUp() {
  ASSERT_TRUE(RemoveTunnelService());
  RemoveTree(kProductDataDirectory);
  RemoveWireGuardInstallations();
  ASSERT_FALSE(PathExists(kProductDataDirectory));
  ASSERT_FALSE(PathExists(kWireGuardExe));
  ASSERT_FALSE(PathExists(kWireGuardExeX86));
}

void CleanMachineTest::TearDown() {
  EXPECT_TRUE(RemoveTunnelService());
  RemoveTree(kProductDataDirectory);
  RemoveWireGuardInstallations();
}

}  // namespace tunnel_test
