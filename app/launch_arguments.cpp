#include "app/launch_arguments.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <iostream>

#include "app/command_line.h"
#include "common/windows_error.h"
#include "flutter_glue/embedding_api.h"

namespace app {

std::string ToUtf8(const wchar_t* text) {
  return text != nullptr ? common::WideToUtf8(text, WC_ERR_INVALID_CHARS) : std::string();
}

std::vector<std::string> ReadLaunchArguments() {
  std::vector<std::string> launch_arguments;
  for (const std::wstring& argument : CommandLineArguments(GetCommandLineW())) {
    launch_arguments.push_back(ToUtf8(argument.c_str()));
  }
  return launch_arguments;
}

void OpenDebugConsole() {
  if (!AllocConsole()) return;
  FILE* unused = nullptr;
  if (freopen_s(&unused, "CONOUT$", "w", stdout) != 0) _dup2(_fileno(stdout), 1);
  if (freopen_s(&unused, "CONOUT$", "w", stderr) != 0) _dup2(_fileno(stdout), 2);
  std::ios::sync_with_stdio(true);
  FlutterDesktopResyncOutputStreams();
}

}  // namespace app
