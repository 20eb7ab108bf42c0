#include "tunnel_helper/tunnel_config_store.h"

#include <windows.h>

#include <algorithm>

#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/tunnel_names.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsReparsePoint(HANDLE file) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  return GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof(info)) &&
         (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool WriteWireGuardConfig(std::string_view config, std::string& errorText) {
  if (!PrepareWireGuardConfigDirectory(errorText)) {
    return false;
  }
  for (const wchar_t* path : {kWireGuardConfigPath, kWireGuardConfigTempPath}) {
    if (IsLink(path)) {
      errorText = LinkRefusalMessage(path);
      return false;
    }
  }

  // Opened without truncation and without following a link, so that a link planted after the
  // check above is seen on the handle and left as it is. A temporary file left by an earlier
  // crash is reused.
  UniqueFileHandle file(CreateFileW(kWireGuardConfigTempPath, GENERIC_WRITE, kShareAll, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
  if (!file) {
    errorText = "Failed to write the WireGuard config file.";
    return false;
  }
  if (IsReparsePoint(file.get())) {
    errorText = LinkRefusalMessage(kWireGuardConfigTempPath);
    return false;
  }
  if (!SetEndOfFile(file.get())) {
    file.reset();
    DeleteFileW(kWireGuardConfigTempPath);
    errorText = "Failed to write the WireGuard config file.";
    return false;
  }
  if (!WriteAll(file.get(), config) || !FlushFileBuffers(file.get())) {
    file.reset();
    DeleteFileW(kWireGuardConfigTempPath);
    errorText = "Failed to flush the WireGuard config file.";
    return false;
  }
  file.reset();

  if (!MoveFileExW(kWireGuardConfigTempPath, kWireGuardConfigPath,
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    errorText = "Failed to replace the WireGuard config file: " +
                tunnel_helper::DescribeWindowsError(GetLastError());
    DeleteFileW(kWireGuardConfigTempPath);
    return false;
  }
  return true;
}
