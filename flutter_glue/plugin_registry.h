// Hands out the embedding's registrar for a named plugin.
#pragma once

#include <string>

#include "flutter_glue/embedding_api.h"

namespace flutter {

class PluginRegistry {
 public:
  PluginRegistry() = default;
  virtual ~PluginRegistry() = default;
  PluginRegistry(const PluginRegistry&) = delete;
  PluginRegistry& operator=(const PluginRegistry&) = delete;

  // Null when there is no running engine to register with.
  virtual FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(
      const std::string& plugin_name) = 0;
};

}  // namespace flutter
