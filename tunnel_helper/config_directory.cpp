#include "tunnel_helper/config_directory.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "common/log_file.h"
#include "common/windows_error.h"
#include "tunnel_helper/store_security.h"

namespace tunnel_helper {
namespace {

// How often a folder is made fresh before giving up on a place someone keeps taking.
constexpr int kFreshFolderAttempts = 3;
// Listing and traversal rights too: a handle with none of the data or delete rights takes no part
// in the sharing check, and would not keep the folder from being renamed while it is held.
constexpr DWORD kHoldAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

std::nullopt_t Fail(DWORD code, std::string& error_text) {
  error_text = kConfigDirectoryFailurePrefix + common::SystemCategoryMessage(code);
  return std::nullopt;
}

// Opens what stands at `path`, folder or file, without following a link.
common::UniqueFileHandle OpenInPlace(const std::wstring& path, DWORD access, DWORD share) {
  return common::UniqueFileHandle(
      CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

enum class Found { kOurFolder, kNotOurs, kLink };

Found Inspect(HANDLE object) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(object, FileAttributeTagInfo, &info, sizeof(info))) {
    return Found::kNotOurs;
  }
  if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Found::kLink;
  if ((info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Found::kNotOurs;
  return IsTrustedStoreObject(object, StoreObject::kFolder) ? Found::kOurFolder : Found::kNotOurs;
}

// Renames what stands at `path` to "<path>.moved-aside-<n>" beside it, through a handle that does
// not follow links. Returns ERROR_SUCCESS or the failure's code.
DWORD MoveAside(const std::wstring& path) {
  const common::UniqueFileHandle object = OpenInPlace(
      path, DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!object) return GetLastError();
  DWORD error = ERROR_ALREADY_EXISTS;
  ULONGLONG suffix = GetTickCount64();
  for (int tries = 0; tries < 16 && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS);
       ++tries, ++suffix) {
    const std::wstring aside = path + L".moved-aside-" + std::to_wstring(suffix);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + aside.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(aside.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, aside.data(), rename->FileNameLength);
    error = SetFileInformationByHandle(object.get(), FileRenameInfo, rename,
                                       static_cast<DWORD>(buffer.size()))
                ? ERROR_SUCCESS
                : GetLastError();
    if (error == ERROR_SUCCESS) {
      common::Log(common::LogLevel::kWarning, "not ZEQ VPN's own; moved aside",
                  {{"path", common::WideToUtf8(path)}, {"to", common::WideToUtf8(aside)}});
    }
  }
  return error;
}

}  // namespace

common::UniqueFileHandle OpenStoreFolder(const std::wstring& path, std::string& error_text) {
  const common::UniqueLocalMemory descriptor = SecurityDescriptorFromSddl(kConfigStoreSddl);
  if (!descriptor) {
    Fail(GetLastError(), error_text);
    return {};
  }
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = descriptor.get();
  security.bInheritHandle = FALSE;

  const ScopedBackupPrivileges privileges;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kFreshFolderAttempts; ++attempt) {
    if (!CreateDirectoryW(path.c_str(), &security)) {
      error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS) break;
    }
    // Links are refused by their path first: Wine does not show a link on a handle.
    if (IsLink(path)) {
      error_text = RefuseLink(path);
      return {};
    }
    common::UniqueFileHandle found =
        OpenInPlace(path, kHoldAccess, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!found) {
      error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) continue;  // Gone meanwhile: make it.
      break;
    }
    switch (Inspect(found.get())) {
      case Found::kOurFolder:
        return found;
      case Found::kLink:
        error_text = RefuseLink(path);
        return {};
      case Found::kNotOurs:
        break;
    }
    found.reset();
    error = MoveAside(path);
    if (error != ERROR_SUCCESS) {
      error_text = kConfigDirectoryFailurePrefix + common::WideToUtf8(path) +
                   " is not ZEQ VPN's own and cannot be moved aside: " +
                   common::SystemCategoryMessage(error);
      return {};
    }
    error = ERROR_ALREADY_EXISTS;  // Should the attempts run out: someone keeps taking the place.
  }
  Fail(error, error_text);
  return {};
}

std::optional<HeldConfigFolders> PrepareWireGuardConfigDirectory(const ConfigStorePaths& paths,
                                                                 std::string& error_text) {
  // ProgramData is the system's own folder; it is only created, plainly, if it is missing.
  if (!CreateDirectoryW(paths.program_data.c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    return Fail(GetLastError(), error_text);
  }
  HeldConfigFolders folders;
  folders.product_folder = OpenStoreFolder(paths.product_folder, error_text);
  if (!folders.product_folder) return std::nullopt;
  folders.config_folder = OpenStoreFolder(paths.config_folder, error_text);
  if (!folders.config_folder) return std::nullopt;
  return folders;
}

bool IsLink(const std::wstring& path) noexcept {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::string RefuseLink(const std::wstring& path) {
  const std::string where = common::WideToUtf8(path);
  common::Log(common::LogLevel::kWarning, "link refused", {{"path", where}});
  return kConfigDirectoryFailurePrefix + where +
         " is a junction or symbolic link, which is not followed.";
}

}  // namespace tunnel_helper
