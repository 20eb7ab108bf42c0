// The plugins the app registers with its engine, as url_launcher_windows_plugin.dll exports them.
#pragma once

#include "flutter_glue/embedding_api.h"

extern "C" {

// Routes the url_launcher plugin's channel through the registrar's messenger.
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

}  // extern "C"
