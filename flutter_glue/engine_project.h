// What the engine is started with: the three bundle paths, the Dart entrypoint and its arguments.
// The entry point builds one and the main window keeps a copy.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace flutter {

struct EngineProject {
  // The paths are `folder` followed by the fixed names, kept relative as given: the embedding
  // resolves them against the program's own folder.
  explicit EngineProject(const std::wstring& folder)
      : assets_path(folder + L"\\flutter_assets"),
        icu_data_path(folder + L"\\icudtl.dat"),
        aot_library_path(folder + L"\\app.so") {}

  std::wstring assets_path;
  std::wstring icu_data_path;
  std::wstring aot_library_path;
  std::string dart_entrypoint;  // UTF-8; empty for the engine's default entrypoint
  std::vector<std::string> dart_entrypoint_arguments;  // UTF-8
  // Two options the embedding takes as they stand and this glue never reads: their meaning is the
  // embedding's, and this program leaves both at 0.
  std::int32_t engine_option_1 = 0;
  std::int32_t engine_option_2 = 0;
};

}  // namespace flutter
