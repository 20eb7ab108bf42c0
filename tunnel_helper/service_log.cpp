#include "tunnel_helper/service_log.h"

#include <string>
#include <vector>

#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/machine_paths.h"
#include "tunnel_helper/store_security.h"

namespace tunnel_helper {

std::unique_ptr<common::LogFile> MakeServiceLog() {
  std::string error_text;
  const std::optional<ConfigStorePaths> paths = ResolveConfigStorePaths(error_text);
  if (!paths) return nullptr;
  auto open_folders = [product = paths->product_folder, logs = paths->log_folder] {
    std::vector<common::UniqueFileHandle> held;
    std::string ignored;  // The log has no one to tell; it is skipped for a while.
    common::UniqueFileHandle product_folder = OpenStoreFolder(product, ignored);
    if (!product_folder) return held;
    common::UniqueFileHandle log_folder = OpenStoreFolder(logs, ignored);
    if (!log_folder) return held;
    held.push_back(std::move(product_folder));
    held.push_back(std::move(log_folder));
    return held;
  };
  return std::make_unique<common::LogFile>(paths->log_folder + L"\\" + kServiceLogName,
                                           std::move(open_folders), kConfigFileSddl);
}

}  // namespace tunnel_helper
