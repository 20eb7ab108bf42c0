#include "tunnel_helper/config_directory.h"

#include <windows.h>

#include "common/windows_error.h"
#include "tunnel_helper/store_security.h"
#include "tunnel_helper/system_category_message.h"

namespace tunnel_helper {
namespace {

std::nullopt_t Fail(DWORD code, std::string& error_text) {
  error_text = kConfigDirectoryFailurePrefix + SystemCategoryMessage(code);
  return std::nullopt;
}

// Creates the folder at `path` with `security` unless something is there already, and checks that
// a folder, not a file or a link, stands there now. Returns ERROR_SUCCESS, the failure's code, or
// ERROR_REPARSE_TAG_MISMATCH for a link.
DWORD EnsureFolder(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
  if (!CreateDirectoryW(path.c_str(), security)) {
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return error;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return ERROR_REPARSE_TAG_MISMATCH;
  // A file of that name is in the way.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_ALREADY_EXISTS;
  return ERROR_SUCCESS;
}

// EnsureFolder for one of the store's folders, then the folder held open and made ours.
common::UniqueFileHandle PrepareStoreFolder(const std::wstring& path, SECURITY_ATTRIBUTES* security,
                                            std::string& error_text) {
  DWORD error = EnsureFolder(path, security);
  common::UniqueFileHandle folder;
  if (error == ERROR_SUCCESS) {
    folder = OpenTrustedStoreObject(path, StoreObject::kFolder, error);
  }
  if (error == ERROR_REPARSE_TAG_MISMATCH) {
    error_text = LinkRefusalMessage(path);
  } else if (!folder) {
    Fail(error, error_text);
  }
  return folder;
}

}  // namespace

std::optional<HeldConfigFolders> PrepareWireGuardConfigDirectory(const ConfigStorePaths& paths,
                                                                 std::string& error_text) {
  // ProgramData is the system's own folder; it is only created, plainly, if it is missing.
  const DWORD program_data = EnsureFolder(paths.program_data, nullptr);
  if (program_data != ERROR_SUCCESS && program_data != ERROR_REPARSE_TAG_MISMATCH) {
    return Fail(program_data, error_text);
  }
  const common::UniqueLocalMemory descriptor = BuildConfigStoreSecurity();
  if (!descriptor) {
    return Fail(GetLastError(), error_text);
  }
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = descriptor.get();
  security.bInheritHandle = FALSE;
  HeldConfigFolders folders;
  folders.product_folder = PrepareStoreFolder(paths.product_folder, &security, error_text);
  if (!folders.product_folder) return std::nullopt;
  folders.config_folder = PrepareStoreFolder(paths.config_folder, &security, error_text);
  if (!folders.config_folder) return std::nullopt;
  return folders;
}

bool IsLink(const std::wstring& path) noexcept {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::string LinkRefusalMessage(const std::wstring& path) {
  return kConfigDirectoryFailurePrefix + common::WideToUtf8(path) +
         " is a junction or symbolic link, which is not followed.";
}

}  // namespace tunnel_helper
