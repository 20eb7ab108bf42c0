// zeq_vpn.exe: one instance per logon session. A later start hands its sign-in links to the first
// through the queue file, wakes it and exits; the first opens the main window and runs until the
// user closes it. Exit code 0, or 1 when the main window cannot be created.
#include <windows.h>

#include <objbase.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_log.h"
#include "app/auth_callback_queue.h"
#include "app/flutter_window.h"
#include "app/launch_arguments.h"
#include "app/link_protocol.h"
#include "app/session_mutex.h"
#include "app/shared_auth_callbacks.h"
#include "app/window_messages.h"
#include "common/log_file.h"
#include "common/log_line.h"
#include "common/product_version.h"
#include "flutter_glue/engine_project.h"

namespace {

void LogStart(const char* instance) {
  common::Log(
      common::LogLevel::kInfo, "app started",
      {{"version", ZEQ_VERSION_TEXT}, {"pid", GetCurrentProcessId()}, {"instance", instance}});
}

int RunApp() {
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && IsDebuggerPresent()) app::OpenDebugConsole();
  common::SetProcessLog(app::MakeAppLog());
  app::RegisterLinkProtocol();

  std::vector<std::string> arguments = app::ReadLaunchArguments();
  std::vector<std::string> links;
  for (const std::string& argument : arguments) {
    if (app::IsAuthCallbackLink(argument)) links.push_back(argument);
  }

  app::SessionMutex instance = app::CreateSessionMutex(L"Local\\DAVIZA.MainInstance", true);
  // A first instance started elevated may hold a mutex this start cannot open: it runs all the
  // same.
  if ((instance.handle && instance.error == ERROR_ALREADY_EXISTS) ||
      (!instance.handle && instance.error == ERROR_ACCESS_DENIED)) {
    LogStart("hand-off to the first");
    for (const std::string& link : links) app::EnqueueSharedAuthCallback(link);
    if (!links.empty()) app::PostAuthCallbackReady();
    app::PostActivateWindow();
    return 0;  // The mutex is not ours to release; its handle closes on the way out.
  }

  // Only the instance that hosts the engine needs COM; a later start, which only hands its links
  // over, is quicker without it.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  LogStart("first");
  for (const std::string& link : links) {
    common::Log(common::LogLevel::kInfo, "link received",
                {{"from", "command line"}, {"link", common::LinkForLog(link)}});
    app::AddPendingAuthCallback(link);
  }
  // Built only here: a later start has no engine to describe.
  flutter::EngineProject project(L"data");
  project.dart_entrypoint_arguments = std::move(arguments);
  auto window = std::make_unique<app::FlutterWindow>(project);
  if (!window->CreateTopLevel(L"ZEQ VPN for Windows", {10, 10}, {1280, 720})) {
    common::Log(common::LogLevel::kError, "main window not created");
    return 1;  // The process ends next: the mutex owner closes its handle, COM is not undone.
  }
  window->SetQuitOnDestroy(true);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (instance.handle) ReleaseMutex(instance.handle.get());
  instance.handle.reset();
  CoUninitialize();
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  int exit_code = 1;  // Out of memory before the window could run.
  try {
    exit_code = RunApp();
  } catch (...) {
  }
  common::Log(common::LogLevel::kInfo, "app exiting",
              {{"exit_code", static_cast<std::uint64_t>(exit_code)}});
  return exit_code;
}
