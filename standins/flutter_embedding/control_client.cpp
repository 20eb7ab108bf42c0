// standin_control.exe: sends one request to the stand-in's control pipe and prints the response,
// for the scripted demo. "\n" in the request stands for a line feed.
//
//   standin_control "<request>"        exit 0 with the response; 1 when the pipe did not answer
//   standin_control --close-window     closes the window "ZEQ VPN for Windows" as a user would
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/windows_error.h"
#include "standins/flutter_embedding/control_request.h"

namespace {

std::string Unescape(const std::string& text) {
  std::string unescaped;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool line_feed = text.compare(at, 2, "\\n") == 0;
    unescaped += line_feed ? '\n' : text[at];
    at += line_feed ? 1 : 0;
  }
  return unescaped;
}

int Send(const std::string& request) {
  const std::optional<std::string> response = standin::SendControlRequest(request);
  if (!response) return 1;
  std::fwrite(response->data(), 1, response->size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: standin_control \"<request>\" | --close-window\n", stderr);
    return 2;
  }
  if (std::wstring(argv[1]) == L"--close-window") {
    const HWND window = FindWindowW(L"FLUTTER_RUNNER_WIN32_WINDOW", L"ZEQ VPN for Windows");
    return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  return Send(Unescape(common::WideToUtf8(argv[1])));
}
