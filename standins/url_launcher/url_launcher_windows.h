// The url_launcher Windows plugin's registration, as the app imports it.
#pragma once

#include "flutter_glue/embedding_api.h"

#if defined(ZEQ_URL_LAUNCHER_IMPLEMENTATION)
#define ZEQ_URL_LAUNCHER_API __declspec(dllexport)
#else
#define ZEQ_URL_LAUNCHER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Routes "plugins.flutter.io/url_launcher_windows" through the registrar's messenger.
ZEQ_URL_LAUNCHER_API void UrlLauncherWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif
