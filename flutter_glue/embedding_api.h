// Our declaration of the flat C interface of the Flutter Windows embedding (flutter_windows.dll):
// the opaque handles, the records and callback types the glue exchanges with it, and the functions
// the app calls. The messenger part is platform-free, so the glue and its tests build natively too;
// the engine, view and window part exists only for Windows.
//
// Every callback the embedding makes arrives on the platform (window) thread.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#endif

// A library that implements this interface defines ZEQ_EMBEDDING_IMPLEMENTATION to export it.
#if defined(_WIN32) && defined(ZEQ_EMBEDDING_IMPLEMENTATION)
#define ZEQ_EMBEDDING_API __declspec(dllexport)
#else
#define ZEQ_EMBEDDING_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;

// Identifies one incoming message that expects an answer; owned by the embedding.
typedef struct FlutterDesktopMessageResponseHandle FlutterDesktopMessageResponseHandle;

// One platform message from the Dart side, valid only during the callback that receives it.
typedef struct {
  size_t struct_size;  // sizeof(FlutterDesktopMessage)
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

// Receives the messages of one channel; `user_data` is what was given with the route.
typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);

// Receives the Dart side's answer to a message sent with a reply; runs exactly once.
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);

// Routes `channel`'s messages to `callback`; a null callback removes the route.
ZEQ_EMBEDDING_API void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                                          const char* channel,
                                                          FlutterDesktopMessageCallback callback,
                                                          void* user_data);

// Queues a message for the Dart side; the bytes may be freed once the call returns.
ZEQ_EMBEDDING_API bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                                   const char* channel, const uint8_t* message,
                                                   size_t message_size);

// As above, and `reply` runs once with the answer. On false the reply never runs.
ZEQ_EMBEDDING_API bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
    size_t message_size, FlutterDesktopBinaryReply reply, void* user_data);

// Answers one incoming message; a handle may be used once.
ZEQ_EMBEDDING_API void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessageResponseHandle* handle,
    const uint8_t* data, size_t data_length);

// Counted references keep the messenger object valid after its engine has ended.
ZEQ_EMBEDDING_API FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
ZEQ_EMBEDDING_API void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);

// While locked, the engine cannot end, so an availability test and a response form one step.
ZEQ_EMBEDDING_API FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
ZEQ_EMBEDDING_API void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);
ZEQ_EMBEDDING_API bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);

#ifdef _WIN32

// What the engine is started with. The strings belong to the caller and must outlive
// FlutterDesktopEngineCreate.
typedef struct {
  const wchar_t* assets_path;
  const wchar_t* icu_data_path;
  const wchar_t* aot_library_path;
  const char* dart_entrypoint;  // "" for the default entrypoint, never null
  int32_t dart_entrypoint_argc;
  const char** dart_entrypoint_argv;  // null when there are no arguments
  int32_t engine_option_1;  // The embedding's own; passed through unread (see EngineProject).
  int32_t engine_option_2;
} FlutterDesktopEngineProperties;

typedef void (*FlutterDesktopOnNextFrameCallback)(void* user_data);

// An engine that is not yet running, or null.
ZEQ_EMBEDDING_API FlutterDesktopEngineRef
FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* engine_properties);
// Ends an engine that nobody else owns.
ZEQ_EMBEDDING_API bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
// Valid as long as the engine.
ZEQ_EMBEDDING_API FlutterDesktopMessengerRef
FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
ZEQ_EMBEDDING_API FlutterDesktopPluginRegistrarRef
FlutterDesktopEngineGetPluginRegistrar(FlutterDesktopEngineRef engine, const char* plugin_name);
ZEQ_EMBEDDING_API void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine);
// Calls `callback` once after the next frame.
ZEQ_EMBEDDING_API void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback, void* user_data);

// Takes over and runs `engine` and makes a view of the given size; null on failure.
ZEQ_EMBEDDING_API FlutterDesktopViewControllerRef
FlutterDesktopViewControllerCreate(int32_t width, int32_t height, FlutterDesktopEngineRef engine);
// Ends the controller, its view and its engine.
ZEQ_EMBEDDING_API void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller);
ZEQ_EMBEDDING_API FlutterDesktopViewRef
FlutterDesktopViewControllerGetView(FlutterDesktopViewControllerRef controller);
ZEQ_EMBEDDING_API void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller);
// True, with `result` set, when the engine consumed the top-level window's message.
ZEQ_EMBEDDING_API bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND hwnd, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result);
ZEQ_EMBEDDING_API HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);

// 96 is 100 %.
ZEQ_EMBEDDING_API UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);
// Makes the engine's output follow a console opened after start-up.
ZEQ_EMBEDDING_API void FlutterDesktopResyncOutputStreams(void);

#endif  // _WIN32

#ifdef __cplusplus
}  // extern "C"
#endif
