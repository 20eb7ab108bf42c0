#include "tests/support/files.h"

#include <vector>

#include "common/executable_path.h"
#include "common/file_bytes.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"

namespace test_support {

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

namespace {

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) noexcept { FindClose(handle); }
};
using UniqueFindHandle = common::UniqueResource<FindHandleTraits>;

// The Unix path of a Windows path in the prefix, through Wine's own export.
std::optional<std::wstring> QuotedUnixPathOf(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto unix_file_name = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unix_file_name != nullptr ? unix_file_name(path.c_str()) : nullptr;
  if (name == nullptr) return std::nullopt;
  const std::string unix_path = name;
  HeapFree(GetProcessHeap(), 0, name);
  return L"\"" + std::wstring(unix_path.begin(), unix_path.end()) + L"\"";
}

// Starts a Unix program and waits (bounded) for `done`: Wine starts Unix programs detached, and
// the handle it gives (null, or one that cannot be waited on) says nothing.
template <typename Condition>
bool RunUnixProgram(const std::wstring& command_line, Condition done) {
  static_cast<void>(StartProcess(command_line));
  return PollUntil(done, 5000);
}

void RemoveOnce(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // Under Wine, RemoveDirectoryW on a link removes the folder it points to.
    if (const std::optional<std::wstring> unix_path = QuotedUnixPathOf(path)) {
      static_cast<void>(
          RunUnixProgram(L"Z:\\bin\\rm -f " + *unix_path, [&] { return !PathExists(path); }));
    }
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring& child : Matching(path + L"\\*")) RemoveOnce(child);
  RemoveDirectoryW(path.c_str());
}

}  // namespace

std::wstring ProgramFolder() { return common::ExecutableFolder(); }

::testing::AssertionResult WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  const common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !common::WriteAll(file.get(), bytes)) {
    return ::testing::AssertionFailure()
           << "writing " << common::WideToUtf8(path) << ": "
           << common::DescribeWindowsErrorKeepingBlanks(GetLastError());
  }
  return ::testing::AssertionSuccess();
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CreateFolders(const std::wstring& folder) {
  if (folder.size() <= 3 || PathExists(folder)) return;
  CreateFolders(ParentOf(folder));
  if (!CreateDirectoryW(folder.c_str(), nullptr)) {
    ADD_FAILURE() << "creating " << common::WideToUtf8(folder) << ": "
                  << common::DescribeWindowsErrorKeepingBlanks(GetLastError());
  }
}

std::vector<std::wstring> Matching(const std::wstring& pattern) {
  std::vector<std::wstring> paths;
  WIN32_FIND_DATAW entry{};
  if (const UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &entry)); search) {
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") paths.push_back(ParentOf(pattern) + L"\\" + name);
    } while (FindNextFileW(search.get(), &entry));
  }
  return paths;
}

void RemoveTree(const std::wstring& path) {
  EXPECT_TRUE(PollUntil([&] { return RemoveOnce(path), !PathExists(path); }, 5000))
      << "removing " << common::WideToUtf8(path);
}

::testing::AssertionResult PlantDirectoryLink(const std::wstring& link,
                                              const std::wstring& target) {
  CreateFolders(ParentOf(link));
  const std::optional<std::wstring> unix_link = QuotedUnixPathOf(link);
  const std::optional<std::wstring> unix_target = QuotedUnixPathOf(target);
  if (!unix_link || !unix_target) {
    return ::testing::AssertionFailure() << "no Unix path: this helper needs Wine";
  }
  constexpr DWORD kDirectoryLink = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (!RunUnixProgram(L"Z:\\bin\\ln -s " + *unix_target + L" " + *unix_link,
                      [&] { return GetFileAttributesW(link.c_str()) == kDirectoryLink; })) {
    return ::testing::AssertionFailure() << common::WideToUtf8(link) << " did not become a link";
  }
  return ::testing::AssertionSuccess();
}

std::optional<std::wstring> RegistryText(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof(value);
  return RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
             ? std::optional<std::wstring>(value)
             : std::nullopt;
}

}  // namespace test_support
