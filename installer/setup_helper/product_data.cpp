#include "installer/setup_helper/product_data.h"

#include <windows.h>

#include <msi.h>

#include <string>

#include "app/tunnel_helper_client.h"
#include "common/unique_handle.h"
#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/machine_paths.h"
#include "tunnel_helper/service_log.h"
#include "tunnel_helper/tunnel_commands.h"

namespace setup_helper {
namespace {

// The folder at `path`, held with the right to delete it and without sharing deletion, so that it
// cannot be swapped for a link while what it holds goes; nothing when it is missing or a link.
// Links are told by path too: Wine does not show them on handles.
common::UniqueFileHandle HoldFolder(const std::wstring& path) {
  if (tunnel_helper::IsLink(path)) return {};
  common::UniqueFileHandle folder(
      CreateFileW(path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!folder || !GetFileInformationByHandle(folder.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return {};
  }
  return folder;
}

// Deletes the held folder when it is empty, as its handle closes.
void DeleteWhenEmpty(common::UniqueFileHandle folder) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  SetFileInformationByHandle(folder.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

// A file of ours in a held folder; a link found in its place goes as a link.
bool RemoveFile(const std::wstring& path) {
  return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool AnotherVersionInstalled(const std::wstring& product_code) {
  wchar_t product[39] = {};
  for (DWORD i = 0; MsiEnumProductsW(i, product) == ERROR_SUCCESS; ++i) {
    wchar_t name[64] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (MsiGetProductInfoW(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &size) ==
            ERROR_SUCCESS &&
        std::wstring_view(name) == L"ZEQ VPN" &&
        CompareStringOrdinal(product, -1, product_code.c_str(), -1, TRUE) != CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

bool CreateProductDataFolders() {
  std::string error_text;
  const std::optional<tunnel_helper::ConfigStorePaths> paths =
      tunnel_helper::ResolveConfigStorePaths(error_text);
  if (!paths) return false;
  // Held, so that the folders inside are made in this one and not through a link in its place.
  const common::UniqueFileHandle product_folder =
      tunnel_helper::OpenStoreFolder(paths->product_folder, error_text);
  return product_folder && tunnel_helper::OpenStoreFolder(paths->config_folder, error_text) &&
         tunnel_helper::OpenStoreFolder(paths->log_folder, error_text);
}

bool EndTunnel() {
  // Through the service while it runs, so that the stop does not cut across its own work; when it
  // cannot answer, the way the service itself stops the tunnel.
  return app::SendHelperRequest({.command = "stop", .config = {}}).ok ||
         tunnel_helper::StopTunnel().ok;
}

bool RemoveProductData() {
  std::string error_text;
  const std::optional<tunnel_helper::ConfigStorePaths> paths =
      tunnel_helper::ResolveConfigStorePaths(error_text);
  if (!paths) return false;
  common::UniqueFileHandle product_folder = HoldFolder(paths->product_folder);
  if (!product_folder) {
    // Nothing there is all right; a link there stays, and so does a folder in use.
    return GetFileAttributesW(paths->product_folder.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  bool removed = true;
  const struct {
    const std::wstring& folder;
    std::wstring files[2];
  } own_folders[] = {
      {paths->config_folder, {paths->config_file, paths->temporary_file}},
      {paths->log_folder,
       {paths->log_folder + L"\\" + tunnel_helper::kServiceLogName,
        paths->log_folder + L"\\" + tunnel_helper::kServiceLogName + L".1"}},
  };
  for (const auto& own : own_folders) {
    common::UniqueFileHandle folder = HoldFolder(own.folder);
    if (!folder) continue;
    for (const std::wstring& file : own.files) removed = RemoveFile(file) && removed;
    DeleteWhenEmpty(std::move(folder));
  }
  DeleteWhenEmpty(std::move(product_folder));
  return removed;
}

}  // namespace setup_helper
