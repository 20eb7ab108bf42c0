// What the stand-in embedding exports besides the app's interface (flutter_glue/embedding_api.h):
// the registrar's messenger, which plugins use to route their channels.
#pragma once

#include "flutter_glue/embedding_api.h"

#ifdef __cplusplus
extern "C" {
#endif

ZEQ_EMBEDDING_API FlutterDesktopMessengerRef
FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif
