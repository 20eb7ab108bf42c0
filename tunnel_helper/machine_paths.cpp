#include "tunnel_helper/machine_paths.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <initializer_list>
#include <memory>

#include "common/windows_error.h"
#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/tunnel_names.h"

namespace tunnel_helper {
namespace {

std::optional<std::wstring> KnownFolder(REFKNOWNFOLDERID id, DWORD& error) {
  wchar_t* path = nullptr;
  // Not verified: a folder that does not exist yet is still where it belongs.
  const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owner(path, &CoTaskMemFree);
  if (FAILED(result) || path == nullptr) {
    error = static_cast<DWORD>(result);
    return std::nullopt;
  }
  return std::wstring(path);
}

}  // namespace

std::optional<ConfigStorePaths> ResolveConfigStorePaths(std::string& error_text) {
  DWORD error = ERROR_SUCCESS;
  std::optional<std::wstring> program_data = KnownFolder(FOLDERID_ProgramData, error);
  if (!program_data) {
    error_text = kConfigDirectoryFailurePrefix + common::SystemCategoryMessage(error);
    return std::nullopt;
  }
  ConfigStorePaths paths;
  paths.program_data = std::move(*program_data);
  paths.product_folder = paths.program_data + L"\\ZEQ VPN";
  paths.config_folder = paths.product_folder + L"\\wireguard";
  paths.config_file = paths.config_folder + L"\\" + kTunnelName + L".conf";
  paths.temporary_file = paths.config_file + L".tmp";
  paths.log_folder = paths.product_folder + L"\\logs";
  return paths;
}

std::vector<std::wstring> WireGuardExeCandidates() {
  std::vector<std::wstring> candidates;
  for (REFKNOWNFOLDERID folder : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
    DWORD error = ERROR_SUCCESS;
    if (std::optional<std::wstring> path = KnownFolder(folder, error)) {
      candidates.push_back(*path + L"\\WireGuard\\wireguard.exe");
    }
  }
  return candidates;
}

}  // namespace tunnel_helper
