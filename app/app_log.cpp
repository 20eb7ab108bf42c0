#include "app/app_log.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/shared_auth_callbacks.h"

namespace app {

std::unique_ptr<common::LogFile> MakeAppLog() {
  const std::optional<std::wstring> data = LocalAppDataFolder();
  if (!data) return nullptr;
  const std::filesystem::path folder = std::filesystem::path(*data) / L"ZEQ VPN" / L"logs";
  auto open_folder = [folder] {
    std::vector<common::UniqueFileHandle> held;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    common::UniqueFileHandle handle(CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (handle) held.push_back(std::move(handle));
    return held;
  };
  return std::make_unique<common::LogFile>((folder / L"zeq_vpn.log").wstring(),
                                           std::move(open_folder), nullptr);
}

}  // namespace app
