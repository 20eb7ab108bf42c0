// The embedding's flat interface, as exported by the stand-in flutter_windows.dll. The handles
// the app holds are the stand-in's objects; null handles are refused quietly, as a call on a
// missing object.
#include <windows.h>

#include <string>

#include "standins/flutter_embedding/engine.h"
#include "standins/flutter_embedding/standin_api.h"
#include "standins/flutter_embedding/view_controller.h"

namespace {

standin::Engine* AsEngine(FlutterDesktopEngineRef engine) {
  return reinterpret_cast<standin::Engine*>(engine);
}
standin::ViewController* AsController(FlutterDesktopViewControllerRef controller) {
  return reinterpret_cast<standin::ViewController*>(controller);
}

bool EnvironmentSays(const wchar_t* name, std::wstring* value) {
  wchar_t buffer[64] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 64);
  if (length == 0 || length >= 64) return false;
  *value = buffer;
  return true;
}

// The engine of a live messenger, for calls on the window thread.
standin::Engine* EngineOf(FlutterDesktopMessengerRef messenger) {
  if (messenger == nullptr) return nullptr;
  const std::lock_guard lock(messenger->mutex);
  return messenger->engine;
}

}  // namespace

extern "C" {

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties) {
  if (engine_properties == nullptr) return nullptr;
  try {
    return reinterpret_cast<FlutterDesktopEngineRef>(
        standin::Engine::Create(*engine_properties).release());
  } catch (...) {
    return nullptr;
  }
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  delete AsEngine(engine);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  return engine == nullptr ? nullptr : AsEngine(engine)->messenger();
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  if (engine == nullptr || plugin_name == nullptr) return nullptr;
  try {
    return AsEngine(engine)->Registrar(plugin_name);
  } catch (...) {
    return nullptr;
  }
}

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar) {
  return registrar == nullptr ? nullptr : registrar->messenger;
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  if (engine == nullptr) return;
  try {
    AsEngine(engine)->AddEvent("fonts-reloaded");
  } catch (...) {
  }
}

void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                              FlutterDesktopOnNextFrameCallback callback,
                                              void* user_data) {
  if (engine != nullptr) AsEngine(engine)->SetNextFrameCallback(callback, user_data);
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int32_t width, int32_t height,
                                                                   FlutterDesktopEngineRef engine) {
  // Ownership of the engine passes with the call, also when the view is refused.
  std::unique_ptr<standin::Engine> taken(AsEngine(engine));
  if (!taken) return nullptr;
  std::wstring refuse;
  if (EnvironmentSays(L"ZEQ_FLUTTER_STANDIN_REFUSE_VIEW", &refuse) && refuse == L"1") {
    return nullptr;
  }
  try {
    return reinterpret_cast<FlutterDesktopViewControllerRef>(
        standin::ViewController::Create(width, height, std::move(taken)).release());
  } catch (...) {
    return nullptr;
  }
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  delete AsController(controller);
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  return controller == nullptr
             ? nullptr
             : reinterpret_cast<FlutterDesktopViewRef>(&AsController(controller)->view());
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  if (controller == nullptr) return;
  try {
    AsController(controller)->view().RequestFrame();
  } catch (...) {
  }
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(FlutterDesktopViewControllerRef, HWND,
                                                          UINT, WPARAM, LPARAM, LRESULT*) {
  return false;  // the stand-in consumes none of the top-level window's messages
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return view == nullptr ? nullptr : reinterpret_cast<standin::ViewWindow*>(view)->hwnd();
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  std::wstring forced;
  if (EnvironmentSays(L"ZEQ_FLUTTER_STANDIN_DPI", &forced)) {
    const unsigned long dpi = std::wcstoul(forced.c_str(), nullptr, 10);
    if (dpi > 0) return static_cast<UINT>(dpi);
  }
  // shcore's GetDpiForMonitor where the system has it; 96 (100 %) otherwise.
  const common::UniqueModule shcore(LoadLibraryW(L"shcore.dll"));
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  const auto get_dpi = shcore ? reinterpret_cast<GetDpiForMonitorFunction>(reinterpret_cast<void*>(
                                    GetProcAddress(shcore.get(), "GetDpiForMonitor")))
                              : nullptr;
  UINT dpi_x = 0;
  UINT dpi_y = 0;
  constexpr int kEffectiveDpi = 0;
  if (get_dpi != nullptr && SUCCEEDED(get_dpi(monitor, kEffectiveDpi, &dpi_x, &dpi_y)) &&
      dpi_x > 0) {
    return dpi_x;
  }
  return 96;
}

void FlutterDesktopResyncOutputStreams(void) {
  // The stand-in writes nothing to the standard streams, so there is nothing to redirect.
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  standin::Engine* engine = EngineOf(messenger);
  if (engine == nullptr || channel == nullptr) return;
  try {
    engine->SetRoute(channel, callback, user_data);
  } catch (...) {
  }
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  return FlutterDesktopMessengerSendWithReply(messenger, channel, message, message_size, nullptr,
                                              nullptr);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  standin::Engine* engine = EngineOf(messenger);
  if (engine == nullptr || channel == nullptr || (message == nullptr && message_size != 0)) {
    return false;
  }
  try {
    return engine->SendToDart(channel, message, message_size, reply, user_data);
  } catch (...) {
    return false;
  }
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  if (messenger == nullptr || (data == nullptr && data_length != 0)) return;
  try {
    const std::lock_guard lock(messenger->mutex);
    if (messenger->engine == nullptr) return;
    messenger->engine->Respond(handle, standin::Bytes(data, data + data_length));
  } catch (...) {
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr) messenger->references.fetch_add(1);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr && messenger->references.fetch_sub(1) == 1) delete messenger;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  if (messenger == nullptr) return nullptr;
  messenger->mutex.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr) messenger->mutex.unlock();
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (messenger == nullptr) return false;
  const std::lock_guard lock(messenger->mutex);
  return messenger->engine != nullptr;
}

}  // extern "C"
