#include "tunnel_helper/tunnel_config_store.h"

#include <windows.h>

#include "common/file_bytes.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/store_security.h"

namespace tunnel_helper {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr char kWriteFailed[] = "Failed to write the WireGuard config file.";

// Deletes a temporary file left by an earlier run through a handle that does not follow links.
// It is not reused: whoever could open it before it was ours might still hold it open.
bool RemoveLeftover(const std::wstring& path) {
  const common::UniqueFileHandle leftover(CreateFileW(path.c_str(), DELETE, kShareAll, nullptr,
                                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                                      nullptr));
  if (!leftover) return GetLastError() == ERROR_FILE_NOT_FOUND;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(leftover.get(), FileDispositionInfo, &disposition,
                                    sizeof(disposition)) != FALSE;
}

}  // namespace

std::optional<HeldConfigFolders> WriteWireGuardConfig(const ConfigStorePaths& paths,
                                                      std::string_view config,
                                                      std::string& error_text) {
  std::optional<HeldConfigFolders> folders = PrepareWireGuardConfigDirectory(paths, error_text);
  if (!folders) {
    return std::nullopt;
  }
  // Links are refused by their path: Wine does not show a link on a handle opened without
  // following it. Removing a leftover link would otherwise delete it quietly. Nothing else of the
  // earlier files is looked at or changed: the config file is replaced as a name below, so a hard
  // link there loses only that name, and what it shares its data with stays as it was.
  for (const std::wstring* path : {&paths.config_file, &paths.temporary_file}) {
    if (IsLink(*path)) {
      error_text = RefuseLink(*path);
      return std::nullopt;
    }
  }
  if (!RemoveLeftover(paths.temporary_file)) {
    error_text = kWriteFailed;
    return std::nullopt;
  }

  // A new file with a descriptor of its own, not one inherited: no handle to it can predate it.
  // CREATE_NEW opens nothing that exists, so a link planted after the checks above makes it fail
  // instead of being followed.
  const common::UniqueLocalMemory descriptor = SecurityDescriptorFromSddl(kConfigFileSddl);
  if (!descriptor) {
    error_text = kWriteFailed;
    return std::nullopt;
  }
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = descriptor.get();
  security.bInheritHandle = FALSE;
  common::UniqueFileHandle file(
      CreateFileW(paths.temporary_file.c_str(), GENERIC_WRITE, kShareAll, &security, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    error_text = kWriteFailed;
    return std::nullopt;
  }
  if (!common::WriteAll(file.get(), config) || !FlushFileBuffers(file.get())) {
    file.reset();
    DeleteFileW(paths.temporary_file.c_str());
    error_text = "Failed to flush the WireGuard config file.";
    return std::nullopt;
  }
  file.reset();

  if (!MoveFileExW(paths.temporary_file.c_str(), paths.config_file.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error_text = "Failed to replace the WireGuard config file: " +
                 common::DescribeWindowsError(GetLastError());
    DeleteFileW(paths.temporary_file.c_str());
    return std::nullopt;
  }
  return folders;
}

}  // namespace tunnel_helper
